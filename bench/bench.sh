#!/usr/bin/env bash
# Package benchmark: updpkg against zip/unzip on the same tree of mixed files.
#   bench/bench.sh [UPDPKG] [ROUNDS]
# UPDPKG defaults to a release build made in build/bench (no sanitizers).
# Prints the median wall time of each command, the ratios, and the peak
# memory of extraction for a 10 MiB and a 500 MiB package. Not part of the
# tests: it takes several minutes and wants an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

updpkg=${1:-}
rounds=${2:-5}
if [ -z "$updpkg" ]; then
  cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DUPD_TESTS=OFF >/dev/null
  cmake --build build/bench -j2 --target updpkg >/dev/null
  updpkg=$root/build/bench/bin/updpkg
fi
updpkg=$(realpath "$updpkg")
work=${BENCH_DIR:-$(mktemp -d /tmp/updpkg-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
# On disk both extractions mostly wait for the file system to make files,
# and an ext4 that has seen many deletions makes them several times slower
# than a new one. BENCH_FRESH_FS=1 (as root) measures on an ext4 made afresh
# in an image file on the same disk, so that runs can be compared.
if [ "${BENCH_FRESH_FS:-0}" = 1 ]; then
  truncate -s 3G "$work.img"
  mkfs.ext4 -q -F "$work.img"
  mount -o loop "$work.img" "$work"
  trap 'umount "$work"; rm -rf "$work" "$work.img"' EXIT
  echo "measuring on a new ext4 in $work.img"
fi
key=3a5c7e91

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); awk "BEGIN {print $t1 - $t0}"; }
calc() { awk "BEGIN {printf \"%.3f\", $1}"; }

echo "making the tree in $work/tree ..."
python3 bench/make_tree.py "$work/tree" 100
size=$(du -sb "$work/tree" | cut -f1)
files=$(find "$work/tree" -type f | wc -l)
printf 'tree: %d files, %.1f MiB\n' "$files" "$(calc "$size / 1048576")"

declare -A times
for r in $(seq "$rounds"); do
  rm -f "$work/p.kvub" "$work/t.zip"
  times[build]+="$(seconds "$updpkg" build --key $key --level 6 -o "$work/p.kvub" "$work/tree") "
  times[zip]+="$(cd "$work/tree" && seconds zip -qr -6 "$work/t.zip" .) "
  sync
  rm -rf "$work/x1" "$work/x2"
  times[extract]+="$(seconds "$updpkg" extract --key $key -C "$work/x1" "$work/p.kvub") "
  times[unzip]+="$(seconds unzip -q "$work/t.zip" -d "$work/x2") "
  echo "round $r done"
done
diff -r "$work/tree" "$work/x1" >/dev/null && echo "extracted tree matches the source"

declare -A med
for k in build zip extract unzip; do
  med[$k]=$(for t in ${times[$k]}; do echo "$t"; done | median)
done
printf '\n%-32s %9s %10s\n' command "median s" "MB/s"
mb=$(calc "$size / 1000000")
printf '%-32s %9.3f %10.1f\n' "updpkg build --level 6" "${med[build]}" "$(calc "$mb / ${med[build]}")"
printf '%-32s %9.3f %10.1f\n' "zip -qr -6" "${med[zip]}" "$(calc "$mb / ${med[zip]}")"
printf '%-32s %9.3f %10.1f\n' "updpkg extract" "${med[extract]}" "$(calc "$mb / ${med[extract]}")"
printf '%-32s %9.3f %10.1f\n' "unzip -q" "${med[unzip]}" "$(calc "$mb / ${med[unzip]}")"
printf '\nbuild:   %.2f x zip -6   (goal 4)\n' "$(calc "${med[zip]} / ${med[build]}")"
printf 'extract: %.2f x unzip    (goal 3)\n' "$(calc "${med[unzip]} / ${med[extract]}")"
printf 'sizes:   package %d bytes, zip %d bytes\n' "$(stat -c %s "$work/p.kvub")" "$(stat -c %s "$work/t.zip")"

# Peak memory of extraction must not grow with the package: one package of
# about 10 MiB and one of about 500 MiB (copies of the tree, hard-linked).
echo
pkg_mib=$(( $(stat -c %s "$work/p.kvub") >> 20 ))
copies=$(( (500 + pkg_mib - 1) / pkg_mib ))
mkdir -p "$work/large"
for i in $(seq "$copies"); do cp -al "$work/tree" "$work/large/COPY$i"; done
# The small tree compresses differently from the large one: grow it until
# its package reaches 10 MiB.
tree_mib=$(( 10 * 100 / (pkg_mib > 0 ? pkg_mib : 1) ))
for _ in 1 2 3 4 5 6; do
  rm -rf "$work/small"
  python3 bench/make_tree.py "$work/small/PROG" "$tree_mib"
  "$updpkg" build --key $key -o "$work/small.kvub" "$work/small"
  got=$(stat -c %s "$work/small.kvub")
  [ "$got" -ge $(( 19 << 19 )) ] && [ "$got" -le $(( 21 << 19 )) ] && break
  tree_mib=$(( tree_mib * (10 << 20) / got ))
done
"$updpkg" build --key $key -o "$work/large.kvub" "$work/large"
cp "$work/p.kvub" "$work/tree.kvub"
# Memory follows the largest entry (up to a fixed bound), not the package:
# the 100 MiB tree's package and the 500 MiB one hold the same largest files.
for n in small tree large; do
  rm -rf "$work/x3"
  rss=$( { /usr/bin/time -v "$updpkg" extract --key $key -C "$work/x3" "$work/$n.kvub" >/dev/null; } 2>&1 |
        awk -F': ' '/Maximum resident set size/ {print $2}')
  printf 'extract peak memory, %5.1f MiB package: %6d KiB\n' "$(calc "$(stat -c %s "$work/$n.kvub") / 1048576")" "$rss"
  rm -rf "$work/x3"
done
