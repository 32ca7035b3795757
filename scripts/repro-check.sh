#!/usr/bin/env bash
# Checks that SETUP.EXE and updpkg.exe are reproducible: the release preset is
# built again from a copy of this tree in another folder, and its programs
# and their .debug files must equal a first build byte for byte.
#   scripts/repro-check.sh                the first build: the release preset here (build/release)
#   scripts/repro-check.sh --with DIR     the first build: the programs in DIR (the win32 preset's
#                                         build/win32/bin is built the same way)
# It also tells whether published files were built from this tree:
#   scripts/repro-check.sh FILE...        a published SETUP.EXE or updpkg.exe, signed or not,
#                                         must equal, once unsigned and with the vendor's key that
#                                         updpkg wrote into SETUP.EXE set aside, the release preset's
#                                         build here
#   scripts/repro-check.sh --with DIR FILE...   ... or the programs in DIR (nothing is built)
# Exit status: 0 identical, 1 a difference, 2 wrong usage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

with=
published=()
while [ $# -gt 0 ]; do
  case "$1" in
    --with) [ $# -ge 2 ] || { echo "repro-check: --with needs a folder" >&2; exit 2; }
            with=$(realpath -m -- "$2"); shift 2 ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    -*) echo "repro-check: unknown option $1 (try --help)" >&2; exit 2 ;;
    *) published+=("$(realpath -m -- "$1")"); shift ;;
  esac
done
cd "$root"
jobs=$(nproc)
build_release() {  # SOURCE_FOLDER
  (cd "$1" && cmake --preset release >/dev/null && cmake --build --preset release -j"$jobs" >/dev/null)
}

work=$(mktemp -d "${TMPDIR:-/tmp}/upd-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

same() {  # FILE_A FILE_B LABEL [NAME_OF_A]
  if cmp -s "$1" "$2"; then
    printf '  same       %-16s %8d bytes  sha256 %s\n' "$3" "$(stat -c %s "$1")" "$(sha256sum < "$1" | cut -c1-16)"
    return 0
  fi
  local n
  n=$(cmp -l "$1" "$2" 2>/dev/null | wc -l || true)
  printf '  DIFFERENT  %-16s %s and %s: %s bytes differ, sizes %d and %d\n' "$3" "${4:-$1}" "$2" "$n" \
    "$(stat -c %s "$1")" "$(stat -c %s "$2")"
  return 1
}

# A published file is compared once unsigned. Removing an Authenticode
# signature leaves the zero bytes that signing added to reach a multiple of 8,
# and a PE checksum computed over them; the checksum (4 bytes at 88 past the
# PE signature) is derived from the rest, so both are set aside. A SETUP.EXE
# from a signed medium holds its vendor's key in the place the build leaves
# empty (the .kvkey section: bytes 16 to 96, the flag and the key, written
# by updpkg); those are set aside too, nothing else.
kvkey_offset() {  # FILE: the file offset of its .kvkey section, if it has one
  local hex
  hex=$(i686-w64-mingw32-objdump -h "$1" 2>/dev/null | awk '$2 == ".kvkey" { print $6 }')
  [ -z "$hex" ] || echo $((16#$hex))
}
same_unsigned() {  # PUBLISHED BUILT LABEL
  local unsigned=$work/unsigned-$3 size usize pe
  if ! osslsigncode remove-signature -in "$1" -out "$unsigned" >/dev/null 2>&1; then
    rm -f "$unsigned"; cp "$1" "$unsigned"
  fi
  size=$(stat -c %s "$2"); usize=$(stat -c %s "$unsigned")
  if [ "$usize" -gt "$size" ] && [ $((usize - size)) -lt 8 ] &&
     [ -z "$(tail -c +$((size + 1)) "$unsigned" | tr -d '\0')" ]; then
    truncate -s "$size" "$unsigned"
  fi
  pe=$(od -An -tu4 -j60 -N4 "$2" | tr -d ' ')
  if [ "$(stat -c %s "$unsigned")" = "$size" ] && [ -n "$pe" ] && [ $((pe + 92)) -le "$size" ]; then
    dd if="$2" of="$unsigned" bs=1 skip=$((pe + 88)) seek=$((pe + 88)) count=4 conv=notrunc status=none
  fi
  local slot
  slot=$(kvkey_offset "$2")
  if [ -n "$slot" ] && [ "$(stat -c %s "$unsigned")" -ge $((slot + 96)) ]; then
    dd if="$2" of="$unsigned" bs=1 skip=$((slot + 16)) seek=$((slot + 16)) count=80 conv=notrunc status=none
  fi
  same "$unsigned" "$2" "$3" "$1 (unsigned)"
}

passed=0 failed=0
count() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi; }

if [ ${#published[@]} -gt 0 ]; then
  built=$with
  if [ -z "$built" ]; then
    echo "repro-check: building the release preset in $root"
    build_release "$root"
    built=$root/build/release/bin
  fi
  for f in "${published[@]}"; do
    name=$(basename "$f")
    [ -f "$f" ] || { echo "repro-check: $f: no such file" >&2; exit 2; }
    [ -f "$built/$name" ] || { echo "repro-check: $built has no $name to compare $f with" >&2; exit 2; }
    count same_unsigned "$f" "$built/$name" "$name"
  done
else
  first=$with
  if [ -z "$first" ]; then
    echo "repro-check: building the release preset in $root"
    build_release "$root"
    first=$root/build/release/bin
  fi
  # The second tree: this one's files (uncommitted changes included), in a
  # folder whose path differs in length as well as in name.
  copy=$work/another-folder/src
  mkdir -p "$copy"
  tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
  echo "repro-check: building the release preset in $copy"
  build_release "$copy"
  for name in SETUP.EXE SETUP.EXE.debug updpkg.exe updpkg.exe.debug; do
    if [ ! -f "$first/$name" ]; then
      echo "repro-check: $first/$name is missing" >&2; failed=$((failed + 1)); continue
    fi
    count same "$first/$name" "$copy/build/release/bin/$name" "$name"
  done
fi
echo "repro-check: $passed passed, $failed failed"
[ "$failed" = 0 ]
