#!/usr/bin/env bash
# updpkg from the outside: round trips (build, verify, list, extract) over a
# tree with Japanese names, an empty file, a file over 1 MiB and three folder
# levels, checked against an encoder and decoder written apart from it
# (pkgcodec.py); then every exit status.
#   updpkg_test.sh UPDPKG [EMULATOR]
# With an emulator (the Windows builds: cmake/wine-run.sh) the program's
# output is code page 932 and is converted before it is compared.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prog=$(realpath "$1")
emulator=${2:-}
codec=$here/pkgcodec.py
work=$(mktemp -d "${TMPDIR:-/tmp}/updpkg-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Runs updpkg; leaves its status in rc and its output, as UTF-8 without
# carriage returns, in out.txt and err.txt.
run() {
  if [ -n "$emulator" ]; then
    "$emulator" "$prog" "$@" >out.raw 2>err.raw
    rc=$?
    iconv -f CP932 -t UTF-8 <out.raw | tr -d '\r' >out.txt
    iconv -f CP932 -t UTF-8 <err.raw | tr -d '\r' >err.txt
  else
    "$prog" "$@" >out.txt 2>err.txt
    rc=$?
  fi
}
expect() {  # expect STATUS ARGS...
  local want=$1
  shift
  run "$@"
  if [ "$rc" != "$want" ]; then
    fail "updpkg $*: exit $rc, expected $want"
    sed 's/^/  | /' err.txt >&2
  fi
}
stderr_has() { grep -qF -- "$1" err.txt || fail "stderr lacks '$1': $(head -c 400 err.txt)"; }
stdout_has() { grep -qF -- "$1" out.txt || fail "stdout lacks '$1': $(head -c 400 out.txt)"; }

# --- the tree -------------------------------------------------------------
# ソ (83 5C) and 表 (95 5C) end in the byte of '\': the separator search must
# step over them.
mkdir -p "FILES/SYS" "FILES/PROG/大きい/データ" "FILES/PROG/ソ表"
printf '更新されたテキスト\r\n' >"FILES/SYS/テキスト.txt"
: >"FILES/SYS/空のファイル"
python3 -c "import random,sys; r=random.Random(5); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(700000)) + b'pattern ' * 120000)" \
  >"FILES/PROG/大きい/データ/big.bin"
printf 'so hyou\n' >"FILES/PROG/ソ表/x.txt"
printf 'library of the product build\n' >lib.dll
key=$(python3 -c "import zlib; print('%08x' % zlib.crc32(open('lib.dll','rb').read()))")
[ "$(stat -c %s "FILES/PROG/大きい/データ/big.bin")" -gt 1048576 ] || fail "big.bin is not over 1 MiB"

# --- key --------------------------------------------------------------------
expect 0 key lib.dll
[ "$(cat out.txt)" = "$key" ] || fail "key printed '$(cat out.txt)', expected $key"

# --- build: same tree, same bytes, whatever the number of threads -----------
expect 0 build --key-file lib.dll -o p1.kvub FILES
expect 0 build --key "$key" --jobs 1 --level 6 -o p2.kvub FILES
cmp -s p1.kvub p2.kvub || fail "two builds of the same tree differ"
[ ! -e p1.kvub.partial ] || fail "build left its partial file"

# The independent decoder finds the names in code page 932, in a fixed order.
python3 "$codec" list "$key" p1.kvub >decoded.txt || fail "pkgcodec cannot read the package"
names=$(cut -d' ' -f1 decoded.txt | tr '\n' '|')
[ "$names" = 'PROG\ソ表\x.txt|PROG\大きい\データ\big.bin|SYS\テキスト.txt|SYS\空のファイル|' ] ||
  fail "entry names or order: $names"
while read -r name size sha; do
  path="FILES/${name//\\//}"
  [ "$size" = "$(stat -c %s "$path")" ] || fail "$name: size $size"
  [ "$sha" = "$(sha1sum <"$path" | cut -d' ' -f1)" ] || fail "$name: content differs"
done <decoded.txt

# --- verify and list ----------------------------------------------------------
expect 0 verify --key "$key" p1.kvub
stdout_has "4 entries"
expect 0 list --key-file lib.dll p1.kvub
[ "$(wc -l <out.txt)" = 4 ] || fail "list printed $(wc -l <out.txt) lines"
for f in 'PROG\ソ表\x.txt' 'PROG\大きい\データ\big.bin' 'SYS\テキスト.txt' 'SYS\空のファイル'; do
  size=$(stat -c %s "FILES/${f//\\//}")
  grep -qE "^ *$size +[0-9]+ ${f//\\/\\\\}\$" out.txt || fail "list line of $f (size $size): $(cat out.txt)"
done

# --- extract ------------------------------------------------------------------
expect 0 extract --key "$key" -C out p1.kvub
diff -r FILES out >/dev/null || fail "extracted tree differs from the source"
[ -z "$(find out -name '.updpkg-*')" ] || fail "extract left its scratch folder"
# A second extraction over the first replaces the files.
printf 'changed' >"out/SYS/テキスト.txt"
expect 0 extract --key "$key" -C out p1.kvub
diff -r FILES out >/dev/null || fail "extracting again did not restore the tree"

# A package made by the independent encoder reads the same way.
python3 "$codec" make "$key" py.kvub 'A\ソ\b.txt=FILES/SYS/テキスト.txt' 'A\empty=FILES/SYS/空のファイル'
expect 0 extract --key "$key" -C pyout py.kvub
cmp -s "pyout/A/ソ/b.txt" "FILES/SYS/テキスト.txt" || fail "independent package: content"
[ -f pyout/A/empty ] && [ ! -s pyout/A/empty ] || fail "independent package: empty file"

# --- exit status 1: damaged, or another key ------------------------------------
expect 1 verify --key 0 p1.kvub
stderr_has "entry 1"
stderr_has "another key"
expect 1 list --key "$(printf '%08x' $((0x$key ^ 1)))" p1.kvub
[ ! -s out.txt ] || fail "list printed entries of a package opened with the wrong key"

# One byte changed inside big.bin's data: the entries before it are placed,
# it and those after are not.
python3 - "$key" <<'EOF'
import struct, sys
blob = bytearray(open("p1.kvub", "rb").read())
open("cut.kvub", "wb").write(blob[:len(blob) - 3])
pos = 8
(first,) = struct.unpack_from("<Q", blob, pos)
pos += 8 + first                      # the second entry: big.bin
blob[pos + 8 + 100] ^= 0x55           # well inside its compressed data
open("bad.kvub", "wb").write(blob)
EOF
expect 1 verify --key "$key" bad.kvub
stderr_has 'entry 2 '
stderr_has 'PROG\大きい\データ\big.bin'
expect 1 extract --key "$key" -C badout bad.kvub
[ -f "badout/PROG/ソ表/x.txt" ] || fail "the entry before the damaged one was not placed"
[ ! -e "badout/PROG/大きい/データ/big.bin" ] || fail "the damaged entry was placed"
[ ! -e "badout/SYS" ] || fail "entries after the damaged one were placed"
[ -z "$(find badout -name '.updpkg-*')" ] || fail "a failed extract left its scratch folder"
expect 1 verify --key "$key" cut.kvub
stderr_has "ends inside the checksum"

# Names that would leave the folder are refused before anything of them is written.
for evil in '..\evil.txt' 'SYS\..\..\evil.txt' 'C:\evil.txt' '\evil.txt' 'SYS\CON.txt'; do
  python3 "$codec" make "$key" evil.kvub 'SYS\ok.txt=lib.dll' "$evil=lib.dll"
  rm -rf evilout
  expect 1 extract --key "$key" -C evilout/inner evil.kvub
  stderr_has "unsafe entry name"
  [ -f evilout/inner/SYS/ok.txt ] || fail "$evil: the sound entry before it was not placed"
  [ "$(find evilout -type f | wc -l)" = 1 ] || fail "$evil: something else was written: $(find evilout -type f)"
done
[ ! -e evil.txt ] && [ ! -e "$work/../evil.txt" ] || fail "an unsafe name was written"

# --- exit status 2: usage --------------------------------------------------------
for args in "" "frobnicate" "build --key 1 FILES" "build -o x.kvub FILES" "build --key 1 --key-file lib.dll -o x FILES" \
  "verify --key zz p1.kvub" "verify --key 123456789 p1.kvub" "build --key 1 --level 10 -o x FILES" \
  "list --key 1 p1.kvub p2.kvub" "extract --key 1 p1.kvub" "key" "key a b" "verify --jobs 0 --key 1 p1.kvub" \
  "list --key 1 -C out p1.kvub" "verify --bogus --key 1 p1.kvub"; do
  # shellcheck disable=SC2086
  expect 2 $args
  stderr_has "usage:"
done
for cmd in key build list verify extract; do
  expect 0 "$cmd" --help
  stdout_has "usage: updpkg $cmd"
done
expect 0 --help
stdout_has "Exit status"

# --- exit status 3: files ------------------------------------------------------------
expect 3 verify --key 1 missing.kvub
stderr_has "missing.kvub"
expect 3 verify --key-file missing.dll p1.kvub
expect 3 key missing.dll
expect 3 build --key 1 -o x.kvub no-such-folder
printf 'x' >blocker
expect 3 extract --key "$key" -C blocker/sub p1.kvub
mkdir -p HANGUL/SYS
printf 'x' >"HANGUL/SYS/한국어.txt"
expect 3 build --key 1 -o h.kvub HANGUL
stderr_has "no code page 932 form"
[ ! -e h.kvub ] && [ ! -e h.kvub.partial ] || fail "a refused build left a file"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "updpkg: all checks passed"
