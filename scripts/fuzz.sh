#!/usr/bin/env bash
# Runs the package reader's fuzz target for a bounded time, with sanitizers,
# starting from seed packages made by the writer.
#   scripts/fuzz.sh [SECONDS]     (default 60; FUZZ_SECONDS works as well)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

bin=build/fuzz/bin
corpus=build/fuzz/corpus
mkdir -p "$corpus" build/fuzz/artifacts
"$bin/package_fuzz_seeds" "$corpus"
# The corpus grows across runs in the same build folder; a failure leaves
# the input that caused it in build/fuzz/artifacts.
"$bin/package_fuzz" -max_total_time="$seconds" -max_len=200000 -rss_limit_mb=1024 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ "$corpus"
