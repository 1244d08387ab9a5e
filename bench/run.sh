#!/usr/bin/env bash
# run.sh <wine prefix> [win32 build folder]
# Registers tolvex10.dll from the win32 build folder (default: build/win32 of the native
# build, next to this folder) in the given prefix and runs the INI benchmark there.
# Builds nothing. Exit code 1 when the speed goal is missed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?usage: run.sh <wine prefix> [win32 build folder]}
build=${2:-$here/../build/win32}
export WINEPREFIX=$prefix VELK_WINE_TIMEOUT=${VELK_WINE_TIMEOUT:-900}
run=$here/../tools/wine-run
"$run" regsvr32 /s "$build/tolvex/ini/com/tolvex10.dll" </dev/null >/dev/null 2>&1 || {
  echo "regsvr32 $build/tolvex/ini/com/tolvex10.dll failed" >&2
  exit 1
}
exec "$run" "$build/bench/tolvex_ini_bench.exe" </dev/null 2>&1
