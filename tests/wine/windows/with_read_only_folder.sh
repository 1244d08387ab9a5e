#!/usr/bin/env bash
# with_read_only_folder.sh <name> <command...>: runs the command with a folder C:\<name> of
# $WINEPREFIX that cannot be written, holding one file kept.csv, and VELK_READ_ONLY_FOLDER
# naming it in the command's environment. Wine ignores the read-only attribute of a
# folder, as Windows does; a folder without write permission stops a user, and root only
# when it is also immutable (chattr +i). Where neither holds, the variable stays unset
# (and the test says so).
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
name=$1
shift
folder=$WINEPREFIX/drive_c/$name
undo() {
  chattr -i "$folder" 2>/dev/null
  chmod u+w "$folder" 2>/dev/null
  rm -rf "$folder"
}
undo
mkdir -p "$folder" && printf 'kept\r\n' >"$folder/kept.csv"
chmod a-w "$folder"
touch "$folder/.probe" 2>/dev/null && { rm -f "$folder/.probe"; chattr +i "$folder" 2>/dev/null; }
trap undo EXIT
if touch "$folder/.probe" 2>/dev/null; then
  rm -f "$folder/.probe"
  echo "with_read_only_folder.sh: $folder cannot be made read-only here" >&2
else
  export VELK_READ_ONLY_FOLDER="C:\\$name"
fi
"$@"
