#!/usr/bin/env bash
# Runs the fuzz targets for a bounded time, with sanitizers, starting from
# seed packages made by the writer: the package reader for SECONDS, then
# updpkg's reading against the reader for half as long.
#   scripts/fuzz.sh [SECONDS]     (default 60; FUZZ_SECONDS works as well)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

bin=build/fuzz/bin
mkdir -p build/fuzz/artifacts
# Each corpus grows across runs in the same build folder; a failure leaves
# the input that caused it in build/fuzz/artifacts.
run() {  # run TARGET SECONDS
  local corpus=build/fuzz/corpus-$1
  mkdir -p "$corpus"
  "$bin/package_fuzz_seeds" "$corpus"
  "$bin/$1" -max_total_time="$2" -max_len=200000 -rss_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$1-" "$corpus"
}
run package_fuzz "$seconds"
run updpkg_read_fuzz $(( (seconds + 1) / 2 ))
