#!/usr/bin/env bash
# run_pipeline.sh <wine prefix> [win32 build folder] [pipeline_bench arguments...]
# Registers tolvex11.dll and tolvex10.dll from the win32 build folder (default: build/win32
# of the native build, next to this folder) in the given prefix, then runs the pipeline
# benchmark there, all on one virtual display. Builds nothing. The benchmark clears the
# Kestrelon settings of that prefix and the prefix's Wine server is restarted: give it a
# prefix of its own. Exit code 1 when a goal is missed. The 64-bit build runs in a 64-bit
# prefix: WINEARCH=win64 bench/run_pipeline.sh <prefix> build/win64.
# Then it runs a few timed batches once more (VELK_BENCH_COUNT messages, default 50, at
# 1k entries) with the Wine server tracing every request (WINEDEBUG=+server) and prints
# the server requests per message of each sink configuration (bench/count_requests.sh);
# VELK_BENCH_COUNT=0 skips that.
#   VELK_BENCH_CPUS=1  runs everything (program, Wine server, X server) on the listed CPUs,
#                      taskset's syntax: steadier figures for comparing two builds, since
#                      a Wine server call then costs a task switch instead of a wake-up on
#                      another CPU (under this VM about 10 us against 40 us).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?usage: run_pipeline.sh <wine prefix> [win32 build folder] [arguments...]}
build=${2:-$here/../build/win32}
shift $(( $# >= 2 ? 2 : 1 ))
export WINEPREFIX=$prefix VELK_WINE_TIMEOUT=${VELK_WINE_TIMEOUT:-1800}
run=$here/../tools/wine-run

if [ -z "${VELK_BENCH_DISPLAY:-}" ]; then
  # A Wine server left from an earlier run may hold a desktop on a display that is gone.
  wineserver -k 2>/dev/null || true
  status=0
  pin=()
  [ -n "${VELK_BENCH_CPUS:-}" ] && pin=(taskset -c "$VELK_BENCH_CPUS")
  VELK_BENCH_DISPLAY=1 ${pin[@]+"${pin[@]}"} xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$prefix" "$build" "$@" || status=$?
  wineserver -k 2>/dev/null || true
  exit $status
fi

for dll in "$build/tolvex/runtime/tolvex11.dll" "$build/tolvex/ini/com/tolvex10.dll"; do
  "$run" regsvr32 /s "$dll" </dev/null >/dev/null 2>&1 || {
    echo "regsvr32 $dll failed" >&2
    exit 1
  }
done
status=0
"$run" "$build/bench/pipeline_bench.exe" "$@" </dev/null 2>&1 || status=$?
count=${VELK_BENCH_COUNT:-50}
[ "$status" -le 1 ] && [ "$count" -gt 0 ] || exit $status

# The server writes its trace to the error output it was started with: a server of our
# own for this run, its services booted before the traced program raises the level.
trace=$(mktemp -d)
trap 'rm -rf "$trace"' EXIT
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p 2>"$trace/server" </dev/null >/dev/null
timeout 120 wineboot </dev/null >/dev/null 2>&1 || true
echo
echo "Wine server requests per message ($count messages after 20 warm-up, 1k entries):"
counted=0
WINEDEBUG=+server "$run" "$build/bench/pipeline_bench.exe" --batch "$count" --warmup 20 --rounds 1 1000 \
  </dev/null >"$trace/bench" 2>&1 || counted=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
if [ "$counted" -gt 1 ]; then
  cat "$trace/bench" >&2
  exit 2
fi
"$here/count_requests.sh" "$trace/server" || exit 2
exit $status
