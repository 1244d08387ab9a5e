#!/usr/bin/env bash
# Installs what is missing, builds every build and runs every test (native and under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build=${VELK_BUILD:-build}
# The build and its test prefixes belong to this run alone: a second run on the same build
# would stop their Wine servers and register, unregister and reset under this one. The
# lock is this script's (no program it starts keeps it).
mkdir -p "$build"
exec 8>"$build/test-run.lock"
flock -n 8 || { echo "another test run is using $build; wait for it to end" >&2; exit 1; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELK_WIN32=ON >/dev/null 8>&-
cmake --build "$build" -j"$(nproc)" 8>&-
# Tests must not lean on a Wine server left over from an earlier run.
stop_servers() {
  local prefix
  for prefix in wineprefix wineprefix64; do
    WINEPREFIX="$PWD/$build/$prefix" wineserver -k 2>/dev/null 8>&- || true
  done
}
stop_servers
status=0
# Windows need an X server: one virtual screen for the whole run.
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$build" --output-on-failure -j"$(nproc)" 8>&- || status=$?
stop_servers
exit $status
