#!/usr/bin/env bash
# The main job: builds everything, registers the three DLLs of both builds in a private
# 64-bit Wine prefix of its own (the 32-bit ones on its 32-bit side), switches the sinks
# on and runs the sample client as a 32-bit and then as a 64-bit process, then shows what
# the two recorded into the one report file and registry log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
# Every Wine program of the job on one virtual screen: the prefix's desktop process
# starts with the first program that needs it and keeps that program's display.
if [ -z "${VELK_MAIN_SCREEN:-}" ]; then
  VELK_MAIN_SCREEN=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
build=${VELK_BUILD:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELK_WIN32=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >"$build/main-build.log" 2>&1 || { tail -40 "$build/main-build.log"; exit 1; }
# Not the tests' prefixes: the job stops its prefix's Wine server, registers the DLLs and
# switches the sinks on, which would pull the ground from under tests running beside it.
export WINEPREFIX="$PWD/$build/demo-prefix64" WINEARCH=win64
run=tools/wine-run
# The 32-bit programs of a 64-bit prefix; the 64-bit ones are found by name.
wow64='C:\windows\syswow64\'
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

wineserver -k 2>/dev/null || true
for bits in 32 64; do
  regsvr32=regsvr32
  [ $bits = 32 ] && regsvr32="${wow64}regsvr32.exe"
  for dll in tolvex/runtime/tolvex11.dll tolvex/ini/com/tolvex10.dll com/velk10.dll; do
    $run "$regsvr32" /s "$build/win$bits/$dll" </dev/null
    echo "registered $(basename "$dll") ($bits-bit)"
  done
done

# Sinks on, level 1, kinds dll and exe on, ocx off.
key='HKCU\Software\VB and VBA Program Settings\Kestrelon\Debugger\DebuggerA'
for setting in DebuggerShell=1 DebuggerWindow=1 DebuggerRegistry=1 DebuggerAEnabledLevel=1 \
               DebuggerAEnabledDLL=1 DebuggerAEnabledEXE=1 DebuggerAEnabledOCX=0; do
  $run reg add "$key" /v "${setting%=*}" /t REG_SZ /d "${setting#*=}" /f </dev/null >/dev/null
done

# A fresh registry message log for this run.
for section in DebuggerAReport DebuggerAReportCo; do
  $run reg delete "${key%\\*}\\$section" /f </dev/null >/dev/null 2>&1 || true
done

support="$build/demo-support"
rm -rf "$support" && mkdir -p "$support"
# The report file goes to the folder the run-time support component names (QVSUPPORT).
export QVSUPPORT=$(winpath "$support")
report() { iconv -f UTF-16 -t UTF-8 "$support/velkbug.ini" | tr -d '\r'; }
echo "--- the sample client, 32-bit"
"$run" "${wow64}cscript.exe" //nologo "$(winpath demo/record_messages.vbs)" </dev/null
first=$(report | sed -n 's/^ *Counter= *\([0-9]*\).*/\1/p' | head -1)
echo "--- the sample client, 64-bit, against the same report file and registry log"
"$run" cscript //nologo "$(winpath demo/record_messages.vbs)" </dev/null

echo "--- report file $support/velkbug.ini (entries 0 to $((first - 1)) from the 32-bit client, the rest from the 64-bit one)"
report
echo "--- registry message log"
for section in DebuggerAReport DebuggerAReportCo; do
  $run reg query "HKCU\\Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\$section" </dev/null | tr -d '\r' | grep . || true
done
wineserver -k 2>/dev/null || true
