#!/usr/bin/env bash
# Keys and signatures cross between the builds: a key made and a medium
# signed by the native updpkg (libcrypto) are accepted by updpkg.exe and
# SETUP.EXE under Wine (CNG), and a key made and a medium signed by
# updpkg.exe are accepted by the native updpkg and by SETUP.EXE; each
# build signs with the other's private key; a list signed with the key
# SETUP.EXE does not trust is refused by both.
#   signing_cross_test.sh NATIVE_UPDPKG BIN_DIR SAMPLES_DIR SOURCE_DIR
set -uo pipefail
native=$1 bin=$(cd "$2" && pwd) samples=$3 src=$4
if [ ! -x "$native" ]; then
  echo "no native updpkg at $native: build the native preset first"
  exit 77
fi
export UPD_WINEPREFIX=$(dirname "$bin")/wineprefix WINEARCH=win32
wine_run() { "$src/cmake/wine-run.sh" "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }
work=$(mktemp -d "${TMPDIR:-/tmp}/upd-cross.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # STATUS WHAT COMMAND...
  local want=$1 what=$2
  shift 2
  "$@" >"$work/out" 2>&1
  local rc=$?
  [ "$rc" = "$want" ] || { echo "FAIL: $what: exit $rc, expected $want"; sed 's/^/  | /' "$work/out"; failures=$((failures + 1)); }
}

mkdir -p "$work/FILES"
cp -r "$src/samples/files/." "$work/FILES/"
cp "$samples/update/Zomi7.EXE" "$work/FILES/APP/"
install_product() { rm -rf "$1"; mkdir -p "$1"; cp "$samples/installed/"* "$1/"; }
install_product "$work/prod"

# Made natively, read under Wine.
expect 0 "native keygen" "$native" keygen -o "$work/n.key"
expect 0 "native medium --sign-key" "$native" medium --ini "$src/samples/medium/SETUP.INI" --setup "$bin/SETUP.EXE" \
  --key-file "$work/prod/kvp2lib.dll" --sign-key "$work/n.key" -o "$work/native" "$work/FILES"
expect 0 "updpkg.exe check of the natively signed medium" \
  wine_run "$bin/updpkg.exe" check "$(winpath "$work/native")" --signed-by "$(winpath "$work/n.pub")"
tr -d '\r' <"$work/out" | grep -q ': sound$' || { echo "FAIL: updpkg.exe does not call it sound"; failures=$((failures + 1)); }

# Made under Wine, read natively.
expect 0 "updpkg.exe keygen" wine_run "$bin/updpkg.exe" keygen -o "$(winpath "$work/w.key")"
expect 0 "updpkg.exe medium --sign-key" wine_run "$bin/updpkg.exe" medium \
  --ini "$(winpath "$src/samples/medium/SETUP.INI")" --setup "$(winpath "$bin/SETUP.EXE")" \
  --key-file "$(winpath "$work/prod/kvp2lib.dll")" --sign-key "$(winpath "$work/w.key")" \
  -o "$(winpath "$work/wine")" "$(winpath "$work/FILES")"
expect 0 "native check of the medium signed under Wine" "$native" check "$work/wine" --signed-by "$work/w.pub"
tr -d '\r' <"$work/out" | grep -q ': sound$' || { echo "FAIL: the native updpkg does not call it sound"; failures=$((failures + 1)); }

# SETUP.EXE installs both.
for m in native wine; do
  install_product "$work/prod"
  expect 0 "SETUP.EXE /quiet on the $m medium" wine_run "$work/$m/SETUP.EXE" /quiet /dir "$(winpath "$work/prod")"
  cmp -s "$work/prod/Zomi7.EXE" "$samples/update/Zomi7.EXE" ||
    { echo "FAIL: the $m medium did not install Zomi7.EXE"; failures=$((failures + 1)); }
done

# Each build's private key read by the other: the media signed again,
# swapping keys, and a list signed with the key SETUP.EXE does not trust.
expect 0 "native sign with the key made under Wine" "$native" sign --sign-key "$work/w.key" "$work/native"
expect 0 "updpkg.exe sign with the key made natively" \
  wine_run "$bin/updpkg.exe" sign --sign-key "$(winpath "$work/n.key")" "$(winpath "$work/wine")"
expect 0 "updpkg.exe check, swapped keys" wine_run "$bin/updpkg.exe" check "$(winpath "$work/native")" \
  --signed-by "$(winpath "$work/w.pub")"
expect 0 "native check, swapped keys" "$native" check "$work/wine" --signed-by "$work/n.pub"
cp "$work/wine/SETUP.SIG" "$work/native/SETUP.SIG"
expect 1 "native check of a list signed with the other key" "$native" check "$work/native"
install_product "$work/prod"
expect $((1620 % 256)) "SETUP.EXE /quiet on a list signed with the other key" \
  wine_run "$work/native/SETUP.EXE" /quiet /dir "$(winpath "$work/prod")"

echo "signing cross test: $failures failure(s)"
[ "$failures" = 0 ]
