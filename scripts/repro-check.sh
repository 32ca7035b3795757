#!/usr/bin/env bash
# Checks that SETUP.EXE and updpkg.exe are reproducible: the release preset is
# built again from a copy of this tree in another folder, and its programs
# and their .debug files must equal a first build byte for byte.
#   scripts/repro-check.sh                first build: the release preset here (build/release)
#   scripts/repro-check.sh --first DIR    first build: the programs in DIR (the win32 preset's
#                                         build/win32/bin is built the same way)
#   scripts/repro-check.sh FILE...        published SETUP.EXE or updpkg.exe, signed or not: each
#                                         must equal, once unsigned, a build of this tree
# Exit status: 0 identical, 1 a difference, 2 wrong usage.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

first=
published=()
while [ $# -gt 0 ]; do
  case "$1" in
    --first) [ $# -ge 2 ] || { echo "repro-check: --first needs a folder" >&2; exit 2; }
             first=$2; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "repro-check: unknown option $1 (try --help)" >&2; exit 2 ;;
    *) published+=("$1"); shift ;;
  esac
done
jobs=$(nproc)
build_release() {  # SOURCE_FOLDER
  (cd "$1" && cmake --preset release >/dev/null && cmake --build --preset release -j"$jobs" >/dev/null)
}

work=$(mktemp -d "${TMPDIR:-/tmp}/upd-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The second tree: this one's files (uncommitted changes included), in a
# folder whose path differs in length as well as in name.
copy=$work/another-folder/src
mkdir -p "$copy"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
echo "repro-check: building the release preset in $copy"
build_release "$copy"
second=$copy/build/release/bin

same() {  # FILE_A FILE_B LABEL
  if cmp -s "$1" "$2"; then
    printf '  same       %-16s %8d bytes  sha256 %s\n' "$3" "$(stat -c %s "$1")" "$(sha256sum < "$1" | cut -c1-16)"
    return 0
  fi
  local n
  n=$(cmp -l "$1" "$2" 2>/dev/null | wc -l || true)
  printf '  DIFFERENT  %-16s %s and %s: %s bytes differ, sizes %d and %d\n' "$3" "$1" "$2" "$n" \
    "$(stat -c %s "$1")" "$(stat -c %s "$2")"
  return 1
}

passed=0 failed=0
count() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi; }

if [ ${#published[@]} -gt 0 ]; then
  for f in "${published[@]}"; do
    name=$(basename "$f")
    if [ ! -f "$second/$name" ]; then
      echo "repro-check: $f: the release builds no file of that name" >&2; exit 2
    fi
    unsigned=$work/unsigned-$name
    # A file without a signature stays as it is.
    if ! osslsigncode remove-signature -in "$f" -out "$unsigned" >/dev/null 2>&1; then
      cp "$f" "$unsigned"
    fi
    count same "$unsigned" "$second/$name" "$name"
  done
else
  if [ -z "$first" ]; then
    echo "repro-check: building the release preset in $root"
    build_release "$root"
    first=$root/build/release/bin
  fi
  for name in SETUP.EXE SETUP.EXE.debug updpkg.exe updpkg.exe.debug; do
    if [ ! -f "$first/$name" ]; then
      echo "repro-check: $first/$name is missing" >&2; failed=$((failed + 1)); continue
    fi
    count same "$first/$name" "$second/$name" "$name"
  done
fi
echo "repro-check: $passed passed, $failed failed"
[ "$failed" = 0 ]
