#!/usr/bin/env bash
# Runs the fuzz targets for a bounded time, with sanitizers: the package
# reader for SECONDS, then updpkg's reading against the reader for half as
# long, starting from seed packages made by the writer; then the journal
# and SETUP.INI readers for a tenth each, from seeds of their own. Last,
# each text reader is fed one input at its size limit (64 MiB of journal,
# 16 MiB of SETUP.INI) and one of a sixteenth of it: its time and memory
# must grow no faster than the input (at most twice the input's sixteen
# times, for the machine's noise, and a second and 64 MB besides).
#   scripts/fuzz.sh [SECONDS]     (default 60; FUZZ_SECONDS works as well)
#   FUZZ_LIMIT_SHAPES="split whole" scripts/fuzz.sh
#                                 also the inputs each reader takes whole
#                                 (about a minute more with the sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}
limit_shapes=${FUZZ_LIMIT_SHAPES:-split}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

bin=build/fuzz/bin
mkdir -p build/fuzz/artifacts
# Each corpus grows across runs in the same build folder; a failure leaves
# the input that caused it in build/fuzz/artifacts.
run() {  # run TARGET SECONDS SEEDER...: the seeder is given the corpus folder
  local corpus=build/fuzz/corpus-$1
  mkdir -p "$corpus"
  "${@:3}" "$corpus"
  # libFuzzer's progress goes to a log of its own; its last lines are shown,
  # and more of it when it found something.
  local log=build/fuzz/$1.log
  if ! "$bin/$1" -max_total_time="$2" -max_len=200000 -rss_limit_mb=1024 \
       -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$1-" "$corpus" > "$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "$1: failed (the whole output: $log)" >&2
    return 1
  fi
  grep -E '^(Done|stat::)' "$log" | sed "s/^/$1: /"
}
text_seeds() {  # text_seeds journal|ini CORPUS: small inputs of both shapes, and the sample SETUP.INI
  for shape in split whole; do "$bin/fuzz_inputs" "$1" "$shape" 65536 "$2/$shape"; done
  if [ "$1" = ini ]; then cp samples/medium/SETUP.INI "$2/sample"; fi
}
run package_fuzz "$seconds" "$bin/package_fuzz_seeds"
run updpkg_read_fuzz $(( (seconds + 1) / 2 )) "$bin/package_fuzz_seeds"
text_seconds=$(( (seconds + 9) / 10 ))
run journal_fuzz "$text_seconds" text_seeds journal
run setup_ini_fuzz "$text_seconds" text_seeds ini

# One input, run once (not twice, as the leak check would): prints
# "MILLISECONDS PEAK-RSS-MB".
measure() {  # measure TARGET FILE
  local start end out
  start=$(date +%s%N)
  out=$("$bin/$1" -rss_limit_mb=2048 -detect_leaks=0 -print_final_stats=1 "$2" 2>&1) || { echo "$out" >&2; return 1; }
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(echo "$out" | sed -n 's/^stat::peak_rss_mb: *//p')"
}
status=0
empty=build/fuzz/limit-empty
: > "$empty"
for shape in $limit_shapes; do
  for pair in journal_fuzz:journal setup_ini_fuzz:ini; do
    target=${pair%%:*} kind=${pair#*:}
    small=build/fuzz/limit-$kind-$shape-16 big=build/fuzz/limit-$kind-$shape
    "$bin/fuzz_inputs" "$kind" "$shape" 16 "$small"
    "$bin/fuzz_inputs" "$kind" "$shape" 1 "$big"
    # And an empty input: the program's own memory, which is not the input's.
    if ! small_r=$(measure "$target" "$small") || ! big_r=$(measure "$target" "$big") ||
       ! base_r=$(measure "$target" "$empty"); then
      echo "$target ($shape): failed at its size limit" >&2
      status=1
      continue
    fi
    read -r small_ms small_mb <<< "$small_r"
    read -r big_ms big_mb <<< "$big_r"
    read -r _ base_mb <<< "$base_r"
    echo "$target ($shape): $(stat -c %s "$small") bytes in $small_ms ms, $small_mb MB;" \
         "$(stat -c %s "$big") bytes in $big_ms ms, $big_mb MB (the program alone: $base_mb MB)"
    if (( big_ms > 32 * small_ms + 1000 )) || (( big_mb - base_mb > 32 * (small_mb - base_mb) + 64 )); then
      echo "$target ($shape): grows faster than its input" >&2
      status=1
    fi
    rm -f "$small" "$big"
  done
done
exit $status
