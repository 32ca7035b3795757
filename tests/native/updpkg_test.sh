#!/usr/bin/env bash
# updpkg from the outside: round trips (build, verify, list, extract) over a
# tree with Japanese names, an empty file, a file over 1 MiB and three folder
# levels, checked against an encoder and decoder written apart from it
# (pkgcodec.py); then every exit status.
#   updpkg_test.sh UPDPKG [EMULATOR]
# With an emulator (the Windows builds: cmake/wine-run.sh) the program's
# output, UTF-8 as on Linux, has CRLF line ends.
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
    tr -d '\r' <out.raw >out.txt
    tr -d '\r' <err.raw >err.txt
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
[ -z "$(ls p1.kvub.partial* 2>/dev/null)" ] || fail "build left its partial file"
if [ -z "$emulator" ]; then  # a package is as readable as any file made here
  [ "$(stat -c %a p1.kvub)" = "$(printf '%o' $((0666 & ~0$(umask))))" ] || fail "package mode $(stat -c %a p1.kvub)"
fi

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

# --- one verdict: what the streaming reader refuses, updpkg refuses ------------
# A zlib stream with right checksums whose code-length repeat runs past
# HLIT + HDIST: zlib's data error, on every platform, at the same place.
python3 "$codec" overrun "$key" overrun.kvub
expect 1 verify --key "$key" overrun.kvub
stderr_has "entry 2 'SYS\\overrun.txt' (at byte 91): zlib error in the compressed data (code -3)"
expect 1 extract --key "$key" -C ovout overrun.kvub
stderr_has "code -3"
[ -f ovout/SYS/first.txt ] && [ ! -e ovout/SYS/overrun.txt ] || fail "overrun: wrong entries placed"

# Names Windows cannot write: a format error (status 1) with its own reason,
# and nothing of the entry is written. Under Wine, where every run costs a
# second, one of each kind of rule (the in-process tests cover all of them).
names=('SYS\a.' 'SYS\dir \x.txt' 'SYS\CONIN$' 'SYS\conout$.txt' 'raw:SYS\\a\x07b' 'SYS\a|b.txt' 'SYS\a<b'
  'SYS\"q"' 'raw:SYS\\\x85\x40.txt' 'raw:SYS\\\xff')
reasons=('ends in a dot or a blank' 'ends in a dot or a blank' 'device name' 'device name' 'control character'
  'one of <' 'one of <' 'one of <' 'not valid code page 932' 'not valid code page 932')
picked=("${!names[@]}")
[ -z "$emulator" ] || picked=(0 8)
for i in "${picked[@]}"; do
  python3 "$codec" make "$key" bad-name.kvub 'SYS\ok.txt=lib.dll' "${names[$i]}=lib.dll"
  rm -rf nameout
  expect 1 extract --key "$key" -C nameout bad-name.kvub
  stderr_has "entry 2"
  stderr_has "${reasons[$i]}"
  [ "$(find nameout -type f | wc -l)" = 1 ] || fail "${names[$i]}: more than the sound entry was written"
done
if [ -z "$emulator" ]; then
  expect 1 verify --key "$key" bad-name.kvub
  stderr_has "${reasons[-1]}"
fi

# --- names that differ only in case --------------------------------------------
mkdir -p CASE/APP CASE2/APP/x
printf 1 >CASE/APP/Read.txt
printf 2 >CASE/APP/READ.TXT
expect 3 build --key "$key" -o case.kvub CASE
stderr_has "Read.txt"
stderr_has "READ.TXT"
stderr_has "case does not count"
[ ! -e case.kvub ] || fail "a build with colliding names wrote a package"
if [ -z "$emulator" ]; then
  printf 1 >CASE2/APP/X
  printf 2 >CASE2/APP/x/y.dat
  expect 3 build --key "$key" -o case.kvub CASE2
  stderr_has "case does not count"
fi
# Extract places a later entry over an earlier one as Windows would.
printf one >one.txt
printf two >two.txt
python3 "$codec" make "$key" case.kvub 'APP\Read.txt=one.txt' 'app\READ.TXT=two.txt' 'APP\Sub\x=one.txt' 'app\SUB\y=two.txt'
expect 0 extract --key "$key" -C caseout case.kvub
[ "$(cd caseout && find . -type f | sort | tr '\n' ' ')" = "./APP/Read.txt ./APP/Sub/x ./APP/Sub/y " ] ||
  fail "case placement: $(cd caseout && find . -type f | sort | tr '\n' ' ')"
[ "$(cat caseout/APP/Read.txt)" = two ] || fail "the later entry did not replace the earlier"


# --- links -----------------------------------------------------------------------
mkdir -p victim linkout linkout2/SYS
echo keep >victim/keep.txt
ln -s "$work/victim" linkout/SYS
python3 "$codec" make "$key" link.kvub 'SYS\keep.txt=lib.dll'
expect 3 extract --key "$key" -C linkout link.kvub
stderr_has "is a link"
[ "$(cat victim/keep.txt)" = keep ] || fail "extract wrote through a folder link"
# A link at a file's place is replaced by the file; its target stays.
ln -s "$work/victim/keep.txt" linkout2/SYS/keep.txt
expect 0 extract --key "$key" -C linkout2 link.kvub
[ ! -L linkout2/SYS/keep.txt ] && cmp -s linkout2/SYS/keep.txt lib.dll || fail "the link at the file's place stayed"
[ "$(cat victim/keep.txt)" = keep ] || fail "extract wrote through a file link"
# build never follows a link planted beside its output.
ln -s "$work/victim/keep.txt" plant.kvub.partial
expect 0 build --key "$key" -o plant.kvub FILES
cmp -s plant.kvub p1.kvub || fail "the package built beside a planted link differs"
[ "$(cat victim/keep.txt)" = keep ] || fail "build wrote through a planted link"

if [ -z "$emulator" ]; then
  # A long name builds, with a warning.
  long=$(printf 'n%.0s' $(seq 200))
  mkdir -p LONG/APP
  printf x >"LONG/APP/$long"
  expect 0 build --key "$key" -o long.kvub LONG
  stderr_has "warning"
  stderr_has "260 bytes"
  # Host names Windows could not write are refused before a package exists.
  mkdir -p DOT/SYS
  printf x >"DOT/SYS/a."
  expect 3 build --key "$key" -o dot.kvub DOT
  stderr_has "ends in a dot or a blank"
  # 16,383 folder levels: refused as too deep, without a crash.
  python3 -c "import sys; sys.stdout.write('raw:' + '\\\\\\\\'.join(['A'] * 16383) + '=lib.dll')" >deep.arg
  python3 "$codec" make "$key" deep.kvub "$(cat deep.arg)"
  expect 1 extract --key "$key" -C deepout deep.kvub
  stderr_has "more than 256 folder levels"
  [ -z "$(ls deepout 2>/dev/null | grep -v '^\.updpkg')" ] || fail "a part of the deep name was created"
  # 256 levels are the most a name may hold, and extract makes them.
  python3 -c "import sys; sys.stdout.write('raw:' + '\\\\\\\\'.join(['A'] * 256) + '=lib.dll')" >deep.arg
  python3 "$codec" make "$key" deep256.kvub "$(cat deep.arg)"
  expect 0 extract --key "$key" -C deep256 deep256.kvub
  [ -f "deep256/$(python3 -c "print('/'.join(['A'] * 256))")" ] || fail "the name of 256 levels was not placed"
fi

# --- the sample product's Zomi7.EXE given as SETUP.EXE (Windows builds) ----------
if [ -n "$emulator" ]; then
  cp "$(dirname "$prog")/../samples/update/Zomi7.EXE" . || fail "no sample Zomi7.EXE: build the samples target"
  printf '[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\nPRODUCT_VERSION=7.5.2.0\r\n[COMPONENTS]\r\nSYS=SYS,<SYSTEMDIR>,1\r\n' >S.INI
  expect 2 medium --ini S.INI --setup Zomi7.EXE --key "$key" -o MED FILES
  stderr_has "is not: its version resource gives product name 'ゾミ７'"
  mkdir MED && cp Zomi7.EXE MED/SETUP.EXE && cp S.INI MED/SETUP.INI && cp -r FILES MED/
  expect 1 check MED
  stdout_has "SETUP.EXE: not the update wizard"
fi

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
