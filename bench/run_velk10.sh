#!/usr/bin/env bash
# run_velk10.sh <wine prefix> [win32 build folder] [messages]
# Registers tolvex10.dll, tolvex11.dll and velk10.dll from the win32 build folder
# (default: build/win32 of the native build, next to this folder) in the given prefix,
# then measures AddDebugMessage with all three sinks on and 100,000 entries already in
# the report file: from the late-bound C++ client (velk10_bench.exe) and from a VBScript
# loop under cscript, timed with Timer. Builds nothing. Replaces the prefix's Kestrelon
# settings and registry message log.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?usage: run_velk10.sh <wine prefix> [win32 build folder] [messages]}
build=$(cd "${2:-$here/../build/win32}" && pwd)
messages=${3:-3000}
export WINEPREFIX=$prefix VELK_WINE_TIMEOUT=${VELK_WINE_TIMEOUT:-900}
run=$here/../tools/wine-run

# Everything on one virtual screen, with a Wine server of its own: the prefix's desktop
# process keeps the display of the program that started it, and windows made while it
# has none cost milliseconds each.
if [ -z "${VELK_BENCH_DISPLAY:-}" ]; then
  wineserver -k 2>/dev/null || true
  status=0
  VELK_BENCH_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$prefix" "$build" "$messages" || status=$?
  wineserver -k 2>/dev/null || true
  exit $status
fi

for dll in tolvex/ini/com/tolvex10.dll tolvex/runtime/tolvex11.dll com/velk10.dll; do
  "$run" regsvr32 /s "$build/$dll" </dev/null >/dev/null 2>&1 || {
    echo "regsvr32 $build/$dll failed" >&2
    exit 1
  }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows() { printf 'Z:%s' "${1//\//\\}"; }

echo "== late-bound C++ client"
status=0
"$run" "$build/bench/velk10_bench.exe" "$messages" </dev/null >"$work/cpp.txt" 2>&1 || status=$?
cat "$work/cpp.txt"
[ "$status" = 0 ] || exit "$status"

echo "== VBScript under cscript"
mkdir -p "$work/report"
"$run" "$build/bench/velk10_bench.exe" --prepare "$(windows "$work/report")" </dev/null >"$work/prepare.txt" 2>&1 || {
  cat "$work/prepare.txt"
  exit 1
}
cat >"$work/bench.vbs" <<'VBS'
' AddDebugMessage in a loop as a script calls it; prints the rate, quits with the number
' of failed calls (cscript itself exits 0 on a runtime error).
Option Explicit
Dim n, debugger, i, message, name, extra, co, failures, started, elapsed
n = CLng(WScript.Arguments(0))
Set debugger = CreateObject("VELK10.clsVELKDebuggerA")
name = "modScript"
co = "script co-extra"
failures = 0
On Error Resume Next
For i = 1 To 10
  extra = Empty
  debugger.AddDebugMessage "warm-up", "dll", name, 1, extra, co
Next
started = Timer
For i = 1 To n
  message = "script message " & i
  extra = Empty
  debugger.AddDebugMessage message, "dll", name, 1, extra, co
  If Err.Number <> 0 Then failures = failures + 1 : Err.Clear
  If extra <> "-" Then failures = failures + 1
Next
elapsed = Timer - started
On Error GoTo 0
If elapsed < 0 Then elapsed = elapsed + 86400
If elapsed <= 0 Then elapsed = 0.001
WScript.Echo "VBScript, all three sinks, " & n & " messages: " & Round(n / elapsed) & " messages/s (" & _
  FormatNumber(elapsed, 2) & " s)"
If failures > 0 Then WScript.Echo failures & " failed calls"
WScript.Quit failures
VBS
status=0
QVSUPPORT=$(windows "$work/report") "$run" cscript //nologo "$(windows "$work/bench.vbs")" "$messages" \
  </dev/null >"$work/vbs.txt" 2>&1 || status=$?
cat "$work/vbs.txt"
# The counter as ASCII digits: UTF-16LE less its zero bytes.
counter=$(tr -d '\000\r' <"$work/report/velkbug.ini" | sed -n 's/^ *Counter= *\([0-9]*\).*/\1/p' | head -1)
expected=$((100000 + 10 + messages))
if [ "$counter" != "$expected" ]; then
  echo "report file counter $counter, expected $expected" >&2
  status=1
fi
"$run" "$build/bench/velk10_bench.exe" --clean </dev/null >/dev/null 2>&1 || true
exit "$status"
