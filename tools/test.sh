#!/usr/bin/env bash
# Installs what is missing, builds every build and runs every test (native and under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build=${VELK_BUILD:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELK_WIN32=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
# Tests must not lean on a Wine server left over from an earlier run.
stop_servers() {
  local prefix
  for prefix in wineprefix wineprefix64; do
    WINEPREFIX="$PWD/$build/$prefix" wineserver -k 2>/dev/null || true
  done
}
stop_servers
status=0
# Windows need an X server: one virtual screen for the whole run.
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || status=$?
stop_servers
exit $status
