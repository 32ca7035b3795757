#!/usr/bin/env bash
# Installation benchmark: SETUP.EXE end to end under Wine, headless, on a tree
# of about 100 MiB and 1,000 files in three components, against `unzip -q`
# followed by `cp -r` of the same content on the same machine in the same
# run. Stage times come from the worker's own record (its debug output:
# "SETUP.EXE stage N: T ms"). Not part of the tests.
#   bench/setup_bench.sh [ROUNDS] [OTHER_SETUP.EXE]
# ROUNDS defaults to 3; medians are printed. OTHER_SETUP.EXE (e.g. a build of
# an earlier commit) runs in the same rounds, alternating, for a comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
rounds=${1:-3}
other=${2:+$(realpath "$2")}

./scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target setup samples wizdrive >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target updpkg >/dev/null

work=$root/build/bench-setup
export UPD_WINEPREFIX=$work/wineprefix
export WINEPREFIX=$UPD_WINEPREFIX WINEARCH=win32 LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
samples=$root/build/win32/samples
mkdir -p "$work"
winpath() { echo "Z:$1" | tr / '\\'; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
calc() { awk "BEGIN {printf \"%.2f\", $1}"; }

# The update's FILES: 1,000 files, about 100 MiB, in three components:
# programs and libraries copied from this system, text, incompressible data
# and small files, with the new Zomi7.EXE among the program's files. The same
# system gives the same tree.
files=$work/FILES
if [ ! -d "$files" ]; then
  echo "setup-bench: making the tree"
  python3 - "$files" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(20261208)
def put(rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
system = []
for folder in ["/usr/lib/x86_64-linux-gnu", "/usr/bin"]:
    for dirpath, dirs, names in os.walk(folder):
        dirs.sort()
        for n in sorted(names):
            p = os.path.join(dirpath, n)
            if os.path.isfile(p) and not os.path.islink(p) and 4096 < os.path.getsize(p) < (2 << 20):
                system.append(p)
words = b"alpha beta gamma delta setup update value zomi7 help readme".split()
for i in range(400):  # programs: 400 files, about 50 MiB
    with open(system[i * 7 % len(system)], "rb") as f:
        put("APP/bin%d/p%04d.dll" % (i // 50, i), f.read()[: (128 << 10) + rng.randint(0, 128 << 10)])
for i in range(400):  # text: 400 files
    put("DOC/d%d/t%04d.txt" % (i // 80, i), b" ".join(rng.choice(words) for _ in range(rng.randint(200, 8000))))
for i in range(100):  # incompressible data: 100 files
    put("DATA/media/b%03d.bin" % i, rng.randbytes(rng.randint(64 << 10, 1200 << 10)))
for i in range(99):  # small files
    put("DATA/conf/s%03d.ini" % i, b"[s]\r\nkey=%d\r\n" % i)
PY
fi
cp "$samples/update/Zomi7.EXE" "$files/APP/"
count=$(find "$files" -type f | wc -l)
bytes=$(du -sb "$files" | cut -f1)
echo "tree: $count files, $(calc "$bytes / 1048576") MiB, three components"

product=$UPD_WINEPREFIX/drive_c/Zomi7Bench
medium=$work/medium
if [ ! -f "$UPD_WINEPREFIX/.upd-ready" ]; then
  "$root/cmake/wine-run.sh" "$samples/installed/Zomi7.EXE" >/dev/null 2>&1 || true
fi
install_product() {
  rm -rf "$product"
  mkdir -p "$product"
  cp "$samples/installed/Zomi7.EXE" "$samples/installed/kvp2lib.dll" "$product/"
}
install_product
PATH=/usr/lib/wine:$PATH WINEDEBUG=-all wine reg add \
  'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Zomi7.EXE' /ve /d 'C:\Zomi7Bench\Zomi7.EXE' /f \
  >/dev/null 2>&1
rm -rf "$medium"
mkdir -p "$medium"
cp build/win32/bin/SETUP.EXE build/win32/bin/wizdrive.exe "$medium/"
printf '[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=BENCH.PKG\r\n\r\n[COMPONENTS]\r\nAPP=APP,<TARGETDIR>,1\r\nDOC=DOC,<TARGETDIR>\\DOC,2\r\nDATA=DATA,<TARGETDIR>\\DATA,3\r\n' \
  > "$medium/SETUP.INI"
build/native/bin/updpkg build --key-file "$product/kvp2lib.dll" --level 6 -o "$medium/BENCH.PKG" "$files"
echo "package: $(calc "$(stat -c %s "$medium/BENCH.PKG") / 1048576") MiB"
zip_file=$work/same.zip
rm -f "$zip_file"
(cd "$files" && zip -qr -6 "$zip_file" .)

declare -A t
# One wizard run of the SETUP.EXE in the medium; its stage times under label.
run_setup() {
  local label=$1 t0 t1 s
  install_product
  sync
  # Wine keeps its desktop on the X server it first met: the session of the
  # programs above ends before the wizard gets a display of its own.
  PATH=/usr/lib/wine:$PATH wineserver -w 2>/dev/null || true
  t0=$(date +%s.%N)
  WINEDEBUG=-all,+debugstr xvfb-run -a -s "-screen 0 1024x768x24" "$root/cmake/wine-run.sh" \
    "$medium/wizdrive.exe" "$(winpath "$medium/SETUP.EXE")" >"$work/run.out" 2>"$work/run.err" || true
  t1=$(date +%s.%N)
  grep -q 'ended: yes' "$work/run.out" || { echo "setup-bench: the wizard did not end" >&2; cat "$work/run.out" >&2; exit 1; }
  cmp -s "$product/Zomi7.EXE" "$files/APP/Zomi7.EXE" || { echo "setup-bench: not updated" >&2; exit 1; }
  for s in 2 3 4; do
    t[$label$s]+="$(grep -a -o "SETUP.EXE stage $s: [0-9.]* ms" "$work/run.err" | awk '{print $4 / 1000}') "
  done
  t[${label}whole]+="$(awk "BEGIN {print $t1 - $t0}") "
}
for r in $(seq "$rounds"); do
  cp build/win32/bin/SETUP.EXE "$medium/SETUP.EXE"
  run_setup s
  if [ -n "$other" ]; then
    cp "$other" "$medium/SETUP.EXE"
    run_setup o
  fi

  dest=$work/dest
  rm -rf "$dest" "$work/unzipped"
  mkdir -p "$dest"
  sync
  u0=$(date +%s.%N)
  unzip -q "$zip_file" -d "$work/unzipped"
  cp -r "$work/unzipped/." "$dest/"
  u1=$(date +%s.%N)
  t[unzipcp]+="$(awk "BEGIN {print $u1 - $u0}") "
  rm -rf "$dest" "$work/unzipped"
done

m() { printf '%s\n' ${t[$1]} | median; }
base=$(m unzipcp)
report() {  # label, title
  local s2 s3 s4 whole net
  s2=$(m "${1}2") s3=$(m "${1}3") s4=$(m "${1}4") whole=$(m "${1}whole")
  # Stages 2 and 4 each end with a fixed 1000 ms pause (the user reads the page).
  net=$(calc "$s2 + $s3 + $s4 - 2")
  echo "$2, median of $rounds rounds, seconds:"
  echo "  stage 2 extraction:   $(calc "$s2")"
  echo "  stage 3 file list:    $(calc "$s3")"
  echo "  stage 4 installation: $(calc "$s4")"
  echo "  stages 2-4 without the two 1 s pauses: $net"
  echo "  whole wizard run (Wine start-up included): $(calc "$whole")"
  echo "  ratio (stages 2-4 net / unzip+cp): $(calc "$net / $base")"
}
report s "this build (build/win32/bin/SETUP.EXE)"
[ -n "$other" ] && report o "other SETUP.EXE ($other)"
echo "unzip -q + cp -r, median: $(calc "$base") s"
