#!/usr/bin/env bash
# The main job: a sample Zomi7 7.5.1.0 installed in a Wine prefix of the
# demo's own, and the sample update medium (SETUP.EXE, SETUP.INI and a package,
# built and signed by updpkg medium and checked by updpkg check) that brings
# it to 7.5.2.0. With a display the wizard opens
# for you to click through; without one it runs under Xvfb, driven by the
# automation driver, and a screenshot of each page is saved.
#   scripts/demo.sh            run the update (a second run finds it current)
#   scripts/demo.sh --reset    start again from the original product first
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

reset=no
for a in "$@"; do
  case "$a" in
    --reset) reset=yes ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $a (try --help)" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh
echo "demo: building SETUP.EXE (release), updpkg and the sample product"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target samples wizdrive >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target updpkg >/dev/null

demo=$root/build/demo
samples=$root/build/win32/samples
export UPD_WINEPREFIX=$demo/wineprefix
export WINEPREFIX=$UPD_WINEPREFIX WINEARCH=win32 WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
mkdir -p "$demo"
run_wine() { "$root/cmake/wine-run.sh" "$@"; }

product_dir=$UPD_WINEPREFIX/drive_c/Program\ Files/ゾミ７
install_original_product() {
  rm -rf "$product_dir"
  mkdir -p "$product_dir/HELP"
  cp "$samples/installed/Zomi7.EXE" "$samples/installed/kvp2lib.dll" "$product_dir/"
  printf 'Zomi7 7.5.1.0\r\n' > "$product_dir/readme.txt"
  printf 'FAQ 7.5.1.0\r\n' > "$product_dir/HELP/faq.txt"
}

# The prefix is made on first use by the runner; make sure it exists.
if [ ! -f "$UPD_WINEPREFIX/.upd-ready" ]; then
  echo "demo: making the Wine prefix (once)"
  run_wine "$samples/installed/Zomi7.EXE" >/dev/null 2>&1 || true
fi
if [ "$reset" = yes ] || [ ! -f "$product_dir/Zomi7.EXE" ]; then
  echo "demo: installing the sample product Zomi7 7.5.1.0 in C:\\Program Files\\ゾミ７"
  install_original_product
  PATH=/usr/lib/wine:$PATH wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Zomi7.EXE' \
    /ve /d 'C:\Program Files\ゾミ７\Zomi7.EXE' /f >/dev/null 2>&1
fi

# The update medium, built by updpkg medium from the vendor's FILES tree and
# SETUP.INI (the package keyed to the installed product's library) and signed
# with the vendor's key, then checked by updpkg check against the installed
# product before the wizard runs: it predicts what SETUP.EXE will do. The
# demo's key is a throwaway one, made on first use and kept under build/; a
# vendor makes theirs once and keeps it off the build machine.
medium=$demo/medium
stage=$demo/stage
vendor_key=$demo/vendor-key/demo.key
rm -rf "$medium" "$stage"
mkdir -p "$stage"
cp -r samples/files "$stage/FILES"
cp "$samples/update/Zomi7.EXE" "$stage/FILES/APP/"
if [ ! -f "$vendor_key" ]; then
  mkdir -p "$(dirname "$vendor_key")"
  echo "demo: making a throwaway signing key (once): $(build/native/bin/updpkg keygen -o "$vendor_key")"
fi
echo "demo: building the update medium with updpkg medium, signed with $vendor_key"
build/native/bin/updpkg medium --ini samples/medium/SETUP.INI --setup build/release/bin/SETUP.EXE \
  --key-file "$product_dir/kvp2lib.dll" --sign-key "$vendor_key" --level 9 -o "$medium" "$stage/FILES" | sed 's/^/    /'
# SETUP.EXE, which now holds the key, is signed as a vendor signs it, with a
# throwaway certificate made for the demo (Windows trusts it no more than
# none; a vendor's certificate is what counts).
rm -rf "$demo/cert"
./scripts/sign.sh --make-test-cert "$demo/cert" >/dev/null
./scripts/sign.sh --pkcs12 "$demo/cert/cert.p12" --pass-file "$demo/cert/pass.txt" \
  --name "Zomi7 update" "$medium/SETUP.EXE" >/dev/null
verdict=$(osslsigncode verify -CAfile "$demo/cert/cert.pem" -in "$medium/SETUP.EXE" 2>&1 \
  | grep -o 'Signature verification: .*' || true)
echo "demo: SETUP.EXE signed with a throwaway certificate ($demo/cert): ${verdict:-Signature verification: failed}"
echo "demo: what updpkg check predicts for the installed product"
if ! build/native/bin/updpkg check "$medium" --product "$product_dir" > "$demo/check.txt"; then
  sed 's/^/    /' "$demo/check.txt"
  echo "demo: updpkg check says the medium would fail; not running the wizard" >&2
  exit 1
fi
sed 's/^/    /' "$demo/check.txt"

snapshot() {  # path, size and checksum of every file of the product
  (cd "$product_dir" && find . -type f -printf '%P\n' | sort | while read -r f; do
     printf '%s\t%s\n' "$f" "$(md5sum < "$f" | cut -c1-32)"; done)
}
installed_version() {
  run_wine "C:\\Program Files\\ゾミ７\\Zomi7.EXE" 2>/dev/null | tr -d '\r' | sed 's/^Zomi7 //'
}

before_version=$(installed_version)
snapshot > "$demo/before.txt"

shots=$demo/screenshots
outcome=""
if [ -n "${DISPLAY:-}" ] && [ -z "${UPD_DEMO_HEADLESS:-}" ]; then
  echo "demo: opening the wizard on $DISPLAY; click through it"
  run_wine "$medium/SETUP.EXE" || true
else
  echo "demo: no display: running the wizard under Xvfb with the automation driver"
  rm -rf "$shots"; mkdir -p "$shots"
  cp build/win32/bin/wizdrive.exe "$demo/"
  winpath() { echo "Z:$1" | tr / '\\'; }
  # Wine keeps its desktop on the X server it first met, and the programs
  # above ran under a virtual display of their own that is gone now: let
  # their Wine session end before the wizard gets its display.
  PATH=/usr/lib/wine:$PATH wineserver -w 2>/dev/null || true
  report=$(xvfb-run -a -s "-screen 0 1024x768x24" "$root/cmake/wine-run.sh" "$demo/wizdrive.exe" \
             "$(winpath "$medium/SETUP.EXE")" --shots "$(winpath "$shots")" 2>/dev/null \
             | tr -d '\r' || true)
  printf '%s\n' "$report" | sed 's/^/    /'
  for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
  outcome=$(printf '%s\n' "$report" | awk '/^page: finish/{f=1;next} f&&/^  \| /{sub(/^  \| /,"");print;exit}')
fi

after_version=$(installed_version)
snapshot > "$demo/after.txt"

echo
echo "== What changed"
echo "installed version: ${before_version:-?} -> ${after_version:-?}"
added=$(join -t $'\t' -v 2 <(sort "$demo/before.txt") <(sort "$demo/after.txt") | cut -f1)
replaced=$(join -t $'\t' <(sort "$demo/before.txt") <(sort "$demo/after.txt") | awk -F'\t' '$2!=$3{print $1}')
[ -n "$added" ] && printf 'added:    %s\n' $added || echo "added:    nothing"
[ -n "$replaced" ] && printf 'replaced: %s\n' $replaced || echo "replaced: nothing"
if [ -n "$outcome" ]; then
  echo "outcome:  $outcome"
elif [ "$before_version" != "$after_version" ]; then
  echo "outcome:  updated"
else
  echo "outcome:  not updated"
fi
if [ -d "$shots" ] && ls "$shots"/*.png >/dev/null 2>&1; then
  echo "screenshots:"; ls "$shots"/*.png | sed 's/^/    /'
fi
[ "$before_version" = "$after_version" ] && [ "$after_version" = 7.5.2.0 ] && \
  echo "(the product was already current; scripts/demo.sh --reset starts again from 7.5.1.0)"
exit 0
