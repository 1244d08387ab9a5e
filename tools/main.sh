#!/usr/bin/env bash
# The main job: builds everything, registers the DLLs in the private Wine prefix and
# runs the demo client against them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build=${VELK_BUILD:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
export WINEPREFIX="$PWD/$build/wineprefix"
win32="$build/win32"
support="$PWD/$build/demo-support"
mkdir -p "$support"
export QVSUPPORT="Z:${support//\//\\}"
for dll in "$win32/tolvex/runtime/tolvex11.dll" "$win32/tolvex/ini/com/tolvex10.dll"; do
  tools/wine-run regsvr32 /s "$dll"
  echo "registered $(basename "$dll")"
done
script="Z:$(pwd)/demo/companions.vbs"
tools/wine-run cscript //nologo "${script//\//\\}"
echo "report file: $support/velkbug.ini"
