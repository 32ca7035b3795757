#!/usr/bin/env bash
# The main job: builds SETUP.EXE and runs it under Wine on the sample medium
# (samples/medium), in a Wine prefix of its own (build/demo/wineprefix).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" --target setup

demo=build/demo
medium=$demo/medium
rm -rf "$medium"
mkdir -p "$medium"
cp build/win32/bin/SETUP.EXE "$medium/"
cp samples/medium/* "$medium/"
mkdir -p "$demo"
touch "$demo/CMakeCache.txt"   # marks the folder whose wineprefix the runner uses
echo "demo: running $medium/SETUP.EXE under Wine"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" ./cmake/wine-run.sh "$medium/SETUP.EXE"
fi
exec ./cmake/wine-run.sh "$medium/SETUP.EXE"
