#!/usr/bin/env bash
# Builds and runs every test: the native build (with sanitizers), then the
# 32-bit and 64-bit Windows builds under Wine (the end-to-end cases on the
# 32-bit one, the product's target), then the release's reproducibility (a
# second build in another folder must equal the win32 build), then the fuzz
# targets for a bounded time; each step says how long it took. Installs what
# it needs first.
#   scripts/test.sh [PRESET...]     (default: native win32 win64 release fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64 release fuzz)

# One virtual display for every Windows test that opens a window.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  done
fi
# Every test meets the same display, so one Wine server per prefix serves
# the whole run (cmake/wine-run.sh); they are ended with it.
export UPD_WINE_PERSIST=1
cleanup() {
  for prefix in build/*/wineprefix; do
    [ -d "$prefix" ] && WINEPREFIX=$(pwd)/$prefix wineserver -k >/dev/null 2>&1 || true
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

jobs=$(nproc)
status=0
# What failed, said again last, where the end of a long log shows it.
failed=() failed_logs=()
win32_built=no
for p in "${presets[@]}"; do
  echo "== $p"
  if [ "$p" = fuzz ]; then
    # Briefly: 20 s for the package reader, less for the others
    # (scripts/fuzz.sh alone runs longer).
    start=$(date +%s)
    if [ -x scripts/fuzz.sh ]; then ./scripts/fuzz.sh 20 || { status=1; failed+=("fuzz"); }; fi
    echo "fuzz: $(( $(date +%s) - start )) s"
    continue
  fi
  if [ "$p" = release ]; then
    # The win32 build of this run is made with the release's settings: it
    # is one of the two builds.
    first=()
    [ "$win32_built" = yes ] && first=(--with build/win32/bin)
    start=$(date +%s)
    ./scripts/repro-check.sh "${first[@]}" || { status=1; failed+=("release: the two builds differ"); }
    echo "release: $(( $(date +%s) - start )) s"
    continue
  fi
  start=$(date +%s)
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j"$jobs"
  [ "$p" = win32 ] && win32_built=yes
  if ! ctest --preset "$p" -j"$jobs" --output-on-failure; then
    status=1
    list=build/$p/Testing/Temporary/LastTestsFailed.log
    failed+=("$p: $(cut -d: -f2 "$list" 2>/dev/null | tr '\n' ' ' || true)")
    failed_logs+=("build/$p/Testing/Temporary/LastTest.log")
  fi
  echo "$p: $(( $(date +%s) - start )) s"
done
# The failed assertions again, briefly (the whole output is above).
for log in "${failed_logs[@]}"; do
  grep -A6 -E ': Failure$|^\[  FAILED  \] [A-Za-z]' "$log" 2>/dev/null | tail -80 || true
done
for f in "${failed[@]}"; do echo "FAILED $f"; done
exit $status
