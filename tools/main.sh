#!/usr/bin/env bash
# The main job: builds everything, registers the three DLLs in the private Wine prefix,
# switches the sinks on and runs the sample client, then shows what it recorded.
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
export WINEPREFIX="$PWD/$build/wineprefix"
run=tools/wine-run
win32="$build/win32"
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

wineserver -k 2>/dev/null || true
for dll in "$win32/tolvex/runtime/tolvex11.dll" "$win32/tolvex/ini/com/tolvex10.dll" "$win32/com/velk10.dll"; do
  $run regsvr32 /s "$dll" </dev/null
  echo "registered $(basename "$dll")"
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
echo "--- the sample client"
"$run" cscript //nologo "$(winpath demo/record_messages.vbs)" </dev/null

echo "--- report file $support/velkbug.ini"
iconv -f UTF-16 -t UTF-8 "$support/velkbug.ini" | tr -d '\r'
echo "--- registry message log"
for section in DebuggerAReport DebuggerAReportCo; do
  $run reg query "HKCU\\Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\$section" </dev/null | tr -d '\r' | grep . || true
done
wineserver -k 2>/dev/null || true
