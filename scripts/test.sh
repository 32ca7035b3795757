#!/usr/bin/env bash
# Builds and runs every test: the native build (with sanitizers), then the
# 32-bit and 64-bit Windows builds under Wine, then the fuzz target for a
# bounded time. Installs what it needs first.
#   scripts/test.sh [PRESET...]     (default: native win32 win64 fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64 fuzz)

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
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT

jobs=$(nproc)
status=0
for p in "${presets[@]}"; do
  echo "== $p"
  if [ "$p" = fuzz ]; then
    if [ -x scripts/fuzz.sh ]; then ./scripts/fuzz.sh || status=1; fi
    continue
  fi
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j"$jobs"
  ctest --preset "$p" -j"$jobs" || status=1
done
exit $status
