#!/usr/bin/env bash
# SETUP.INI reading benchmark: `updpkg check` on media whose SETUP.INI holds
# many components (the package is named but no key is given, so the time is
# that of reading SETUP.INI and reporting). Not part of the tests.
#   bench/ini_bench.sh [UPDPKG] [COUNT...]
# UPDPKG defaults to the native preset's build (with sanitizers, as the tests
# run it); COUNT defaults to 2000 8000 32000. Prints the best of 3 runs.
set -euo pipefail
cd "$(dirname "$0")/.."
updpkg=${1:-build/native/bin/updpkg}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(2000 8000 32000)
if [ "$updpkg" = build/native/bin/updpkg ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native -j2 --target updpkg >/dev/null
fi
updpkg=$(realpath "$updpkg")
work=$(mktemp -d /tmp/updpkg-ini-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

for n in "${counts[@]}"; do
  medium=$work/m$n
  mkdir -p "$medium"
  python3 - "$medium/SETUP.INI" "$n" <<'PY'
import sys
path, n = sys.argv[1], int(sys.argv[2])
lines = ["[PRODUCT]", "PRODUCT_NAME=Zomi7", "PRODUCT_VERSION=7.5.2.0", "PACKAGE=UPDATE.PKG", "[COMPONENTS]"]
lines += ["Component%05d=C%05d,<TARGETDIR>\\Part%05d,%d" % (i, i, i, i) for i in range(n)]
open(path, "wb").write(("\r\n".join(lines) + "\r\n").encode("ascii"))
PY
  : >"$medium/UPDATE.PKG"
  best=
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$updpkg" check "$medium" >"$work/out.txt" || true
    end=$(date +%s.%N)
    t=$(awk "BEGIN {printf \"%.3f\", $end - $start}")
    if [ -z "$best" ] || awk "BEGIN {exit !($t < $best)}"; then best=$t; fi
  done
  grep -q "$n component(s)" "$work/out.txt" || { echo "ini-bench: check did not read $n components" >&2; exit 1; }
  printf '%6d components: %s s\n' "$n" "$best"
done
