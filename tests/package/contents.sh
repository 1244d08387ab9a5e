#!/usr/bin/env bash
# contents.sh <cpack> <build folder> <scratch folder> <version> <win32 build> [<64-bit file>...]
# cpack makes velk10-<version>-windows.zip from the build; unpacked, it holds exactly the
# package's files, the DLLs and type library as built, and the command scripts and samples
# with the CR LF line ends that cmd.exe and Windows editors read.
set -u
cpack=$1 build=$2 scratch=$3 version=$4 win32=$5
shift 5
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$scratch" && mkdir -p "$scratch/unpacked"
(cd "$build" && "$cpack" -G ZIP -B "$scratch" >"$scratch/cpack.log" 2>&1) || {
  cat "$scratch/cpack.log" >&2
  exit 1
}
zip="$scratch/velk10-$version-windows.zip"
[ -f "$zip" ] || { echo "no $zip; cpack made: $(ls "$scratch")" >&2; exit 1; }
(cd "$scratch/unpacked" && cmake -E tar xf "$zip") || exit 1

expected=(
  x86/velk10.dll x86/tolvex10.dll x86/tolvex11.dll x86/velkview.exe
  register.cmd unregister.cmd
  include/velk10.h include/velk10_i.c include/velk10.tlb
  docs/guide.md docs/NOTICES.txt
  docs/screenshots/live-message-window.png docs/screenshots/options-dialog.png docs/screenshots/report-viewer.png
  docs/screenshots/report-viewer-find.png docs/screenshots/report-viewer-filter.png
  docs/screenshots/report-viewer-follow.png
  docs/screenshots/velkview-dropped-file.png docs/screenshots/velkview-registry-log.png
)
for file in "$@"; do expected+=("x64/$(basename "$file")"); done
# The guide as HTML comes with the 64-bit build (cmake/msi.cmake).
[ $# -gt 0 ] && expected+=(docs/guide.html)
expected+=($(cd "$source" && find samples -type f))

status=0
if ! diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$scratch/unpacked" && find . -type f | sed 's|^\./||' | sort) \
       >"$scratch/list.diff"; then
  echo "the package's files differ from the list (< expected, > in the zip):" >&2
  cat "$scratch/list.diff" >&2
  status=1
fi
for pair in x86/velk10.dll=com/velk10.dll x86/tolvex10.dll=tolvex/ini/com/tolvex10.dll \
            x86/tolvex11.dll=tolvex/runtime/tolvex11.dll x86/velkview.exe=velkview/velkview.exe \
            include/velk10.tlb=com/velk10.tlb; do
  cmp -s "$scratch/unpacked/${pair%%=*}" "$win32/${pair#*=}" || { echo "${pair%%=*} is not the built file" >&2; status=1; }
done
for file in "$@"; do
  cmp -s "$scratch/unpacked/x64/$(basename "$file")" "$file" || { echo "x64/$(basename "$file") is not the built file" >&2; status=1; }
done
for text in register.cmd unregister.cmd $(cd "$source" && find samples -type f); do
  if grep -q $'[^\r]$' "$scratch/unpacked/$text"; then
    echo "$text has lines that do not end in CR LF" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "$(basename "$zip"): ${#expected[@]} files as listed"
exit $status
