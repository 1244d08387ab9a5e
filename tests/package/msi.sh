#!/usr/bin/env bash
# msi.sh <scratch folder> <msi> <version> <previous version> <viewer_closer.exe> <i686 build> <x86_64 build>
#        <velkview.exe> -- <arguments of cmake/msi_build.cmake>
# The MSI package under Wine's msiexec, in a clean 64-bit prefix:
#  - a package of the previous version number is built and installed silently for the
#    machine with QVSUPPORT, then this version over it: one installation remains;
#  - the classes, type libraries and interfaces it wrote (both registry views) equal what
#    regsvr32 of each DLL writes in a second clean prefix, key for key;
#  - the VBScript sample under the 32-bit and the 64-bit cscript, with no QVSUPPORT of its
#    own, records into the report folder the package set;
#  - the report viewer x64\velkview.exe is the built one, with its Start menu shortcut;
#  - a file and a key deleted, installing the same version again repairs both;
#  - uninstalling leaves the registry and the files as they were before;
#  - per user (MSIINSTALLPERUSER=1 ALLUSERS=2): the files in the user's programs folder,
#    the classes under HKCU\Software\Classes, QVSUPPORT in HKCU\Environment, nothing
#    machine-wide; uninstalled, everything as before.
set -u
: "${USER:=$(id -un)}"
scratch=$1 msi=$2 version=$3 previous=$4 closer=$5 build32=$6 build64=$7 viewer=$8
shift 8
[ "${1:-}" = -- ] && shift
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../../tools/wine-run
# No menu entries of the host's desktop for the Start menu's shortcuts.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
unset QVSUPPORT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
rm -rf "$scratch" && mkdir -p "$scratch"
machine=$scratch/machine
stop() { WINEPREFIX=$1 timeout 60 wineserver -k 2>/dev/null; }
trap 'stop "$machine"; stop "$scratch/regsvr32"' EXIT

old_msi=$scratch/velk10-$previous-x64.msi
cmake "$@" -DVERSION="$previous" -DOUT="$old_msi" -P "$here/../../cmake/msi_build.cmake" >"$scratch/old-msi.log" 2>&1 ||
  { cat "$scratch/old-msi.log" >&2; exit 1; }

# state <name>: the registry trees a package may touch, one line a value (and one a key),
# without Windows Installer's and Wine's own bookkeeping, and the files outside the
# Windows folder.
state() {
  local tree file
  for tree in 'HKLM\Software' 'HKCU\Software' 'HKCU\Environment' \
              'HKLM\System\CurrentControlSet\Control\Session Manager\Environment'; do
    file=$scratch/export.reg
    rm -f "$file"
    "$run" reg export "$tree" "$(winpath "$file")" </dev/null >/dev/null 2>&1 || { fail "reg export $tree"; continue; }
    iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | awk '
      /^\[/ { key = $0; print key; next }
      /\\$/ { line = line substr($0, 1, length($0) - 1); next }
      /./ { print key "\t" line $0; line = "" }'
  done | grep -viE '\\(Installer|Microsoft\\Windows\\CurrentVersion\\(Installer|Uninstall))(\\|\]|$)|^\[HKEY_CURRENT_USER\\Software\\Wine\\' |
    LC_ALL=C sort >"$scratch/$1.keys"
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | LC_ALL=C sort) \
    >"$scratch/$1.files"
}
same_state() {  # same_state <a> <b> <what>
  local kind
  for kind in keys files; do
    if ! cmp -s "$scratch/$1.$kind" "$scratch/$2.$kind"; then
      fail "$3: the $kind differ (< $1, > $2):"
      diff "$scratch/$1.$kind" "$scratch/$2.$kind" | head -20 >&2
    fi
  done
}
msiexec() {  # msiexec <log name> <arguments...>
  local name=$1
  shift
  "$run" msiexec "$@" /qn </dev/null >"$scratch/$name.txt" 2>&1 || fail "msiexec $* ($name): exit status $?"
}
value() {  # value <key> [<name>]: the value's data
  local args=(/ve)
  [ $# -gt 1 ] && args=(/v "$2")
  "$run" reg query "$1" "${args[@]}" </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *[^ ].*REG_[A-Z_]* *//p'
}
# The sample run by viewer_closer (a 32-bit program), which closes the report viewer that
# ShowDebuggerWindow opens in the sample's process.
run_sample() {  # run_sample <name> <cscript> <report folder>
  local lines
  "$run" reg delete 'HKCU\Software\VB and VBA Program Settings\Kestrelon' /f </dev/null >/dev/null 2>&1
  "$run" "$closer" "$2" //nologo "$(winpath "$sample")" </dev/null >"$scratch/$1.txt" 2>&1 ||
    fail "$1: exit status $?: $(tr -d '\r' <"$scratch/$1.txt")"
  lines=$(iconv -f UTF-16 -t UTF-8 "$3/velkbug.ini" 2>/dev/null | tr -d '\r')
  grep -q '^2=3\. (dll)  > APPOBJNOTHING > modInvoices > Invoice saved > 2 pages > ' <<<"$lines" ||
    fail "$1: the report file in $3 holds '$lines'"
  rm -f "$3/velkbug.ini"
  "$run" reg delete 'HKCU\Software\VB and VBA Program Settings' /f </dev/null >/dev/null 2>&1
}

# --- The reference: regsvr32 of each DLL, 32-bit ones first as register.cmd does, from
# the folders the package installs into, in a clean prefix of its own.
export WINEPREFIX=$scratch/regsvr32
"$run" cmd /c exit </dev/null >/dev/null 2>&1
target="$WINEPREFIX/drive_c/Program Files/Kestrelon/velk10"
mkdir -p "$target/x86" "$target/x64"
dlls=(tolvex/runtime/tolvex11.dll tolvex/ini/com/tolvex10.dll com/velk10.dll)
for dll in "${dlls[@]}"; do cp "$build32/$dll" "$target/x86/" && cp "$build64/$dll" "$target/x64/"; done
state before
for dll in "${dlls[@]}"; do
  "$run" 'C:\windows\syswow64\regsvr32.exe' /s "C:\\Program Files\\Kestrelon\\velk10\\x86\\${dll##*/}" </dev/null ||
    fail "32-bit regsvr32 ${dll##*/}"
done
for dll in "${dlls[@]}"; do
  "$run" regsvr32 /s "C:\\Program Files\\Kestrelon\\velk10\\x64\\${dll##*/}" </dev/null || fail "regsvr32 ${dll##*/}"
done
state registered
comm -13 "$scratch/before.keys" "$scratch/registered.keys" >"$scratch/regsvr32.added"
comm -23 "$scratch/before.keys" "$scratch/registered.keys" >"$scratch/regsvr32.removed"
stop "$scratch/regsvr32"

# --- The package, in a clean prefix.
export WINEPREFIX=$machine
sample=$scratch/record_messages.vbs
cp "$here/../../samples/record_messages.vbs" "$sample"
# Each script host registers its own type library the first time it runs: before the snapshot.
"$run" cscript //nologo 'C:\nothing.vbs' </dev/null >/dev/null 2>&1
"$run" 'C:\windows\syswow64\cscript.exe' //nologo 'C:\nothing.vbs' </dev/null >/dev/null 2>&1
# Every Windows user profile has its programs folder; a fresh Wine prefix has not yet.
mkdir -p "$WINEPREFIX/drive_c/users/$USER/AppData/Local/Programs"
state before
reports=$scratch/reports
mkdir -p "$reports"
msiexec old /i "$(winpath "$old_msi")" QVSUPPORT="$(winpath "$reports")"
[ -f "$WINEPREFIX/drive_c/Program Files/Kestrelon/velk10/x64/velk10.dll" ] || fail "version $previous installed no x64\\velk10.dll"
msiexec upgrade /i "$(winpath "$msi")"
installed=$("$run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s </dev/null 2>/dev/null |
  tr -d '\r' | grep -c 'DisplayName.*REG_SZ *velk10 ')
[ "$installed" = 1 ] || fail "after the upgrade $installed installations of velk10 are listed, not 1"
state installed

# The registration equals regsvr32's: what each added (both views of both class trees),
# apart from the package's own record and QVSUPPORT, and nothing removed.
comm -13 "$scratch/before.keys" "$scratch/installed.keys" |
  grep -vE '^\[HKEY_LOCAL_MACHINE\\Software\\Kestrelon[]\\]|\\Environment\]' >"$scratch/msi.added"
[ -s "$scratch/regsvr32.added" ] || fail "regsvr32 registered nothing"
[ -s "$scratch/regsvr32.removed" ] && fail "regsvr32 removed keys: $(head -3 "$scratch/regsvr32.removed")"
if ! cmp -s "$scratch/regsvr32.added" "$scratch/msi.added"; then
  fail "the package's registration differs from regsvr32's (< regsvr32, > the package):"
  diff "$scratch/regsvr32.added" "$scratch/msi.added" | head -30 >&2
fi
comm -23 "$scratch/before.keys" "$scratch/installed.keys" | grep -q . &&
  fail "the installation changed or removed keys: $(comm -23 "$scratch/before.keys" "$scratch/installed.keys" | head -3)"
# The guide's pictures are where its HTML links them.
docs="$WINEPREFIX/drive_c/Program Files/Kestrelon/velk10/docs"
pictures=$(grep -o 'src="[^"]*"' "$docs/guide.html" 2>/dev/null | sed 's/^src="//; s/"$//')
[ -n "$pictures" ] || fail "the installed guide.html shows no pictures"
for picture in $pictures; do [ -f "$docs/$picture" ] || fail "the installed guide shows $picture, which is missing"; done
# (Wine's msiexec puts a machine's shortcuts into the user's Start menu too.)
grep -q '/Start Menu/Programs/velk10 User Guide\.lnk$' "$scratch/installed.files" ||
  fail "no Start menu shortcut to the guide"
env_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
[ "$(value "$env_key" QVSUPPORT)" = "$(winpath "$reports")" ] || fail "QVSUPPORT for the machine: '$(value "$env_key" QVSUPPORT)'"
# The report viewer and its Start menu entry, which names it.
cmp -s "$WINEPREFIX/drive_c/Program Files/Kestrelon/velk10/x64/velkview.exe" "$viewer" ||
  fail "x64\\velkview.exe is not the built report viewer"
viewer_link=$(grep '/Start Menu/Programs/velk10 Report Viewer\.lnk$' "$scratch/installed.files" | head -1)
if [ -z "$viewer_link" ]; then
  fail "no Start menu shortcut to the report viewer"
elif ! tr -d '\0' <"$WINEPREFIX/drive_c/$viewer_link" | grep -qi 'velk10.x64.velkview\.exe'; then
  fail "the report viewer's shortcut does not name x64\\velkview.exe"
fi

# A new process takes QVSUPPORT from the machine's environment.
# The 64-bit script host by the name a 32-bit program gives it (system32 is the 32-bit one's).
run_sample machine64 'C:\windows\sysnative\cscript.exe' "$reports"
run_sample machine32 'C:\windows\syswow64\cscript.exe' "$reports"

# Repair: installing the same version again brings back a deleted file and a deleted key.
program_files="$WINEPREFIX/drive_c/Program Files/Kestrelon/velk10"
rm -f "$program_files/x86/velk10.dll"
"$run" reg delete 'HKCR\VELK10.clsVELKDebuggerA' /f </dev/null >/dev/null 2>&1
msiexec repair /i "$(winpath "$msi")" REINSTALL=ALL REINSTALLMODE=omus
state repaired
same_state installed repaired "repair"

msiexec uninstall /x "$(winpath "$msi")"
state removed
same_state before removed "uninstall"

# --- Per user.
msiexec user /i "$(winpath "$msi")" MSIINSTALLPERUSER=1 ALLUSERS=2 QVSUPPORT='C:\reports'
state user
user_folder=$(value 'HKCU\Software\Kestrelon\velk10' InstallFolder)
case "$user_folder" in
  'C:\users\'*'\AppData\Local\Programs\Kestrelon\velk10\') ;;
  *) fail "the per-user installation went to '$user_folder'" ;;
esac
[ "$(value 'HKCU\Software\Classes\CLSID\{DC43A7FC-465F-4C6E-9153-C323A75E4A6F}\InprocServer32')" = "${user_folder}x64\\velk10.dll" ] ||
  fail "per user: the 64-bit class is not registered under HKCU\\Software\\Classes"
[ "$(value 'HKCU\Software\Classes\TypeLib\{B7367C8F-C5E8-4A04-AA57-24F45F941D77}\1.0\0\win32')" = "${user_folder}x86\\velk10.dll" ] ||
  fail "per user: the type library's win32 path is not under HKCU\\Software\\Classes"
[ "$(value 'HKCU\Environment' QVSUPPORT)" = 'C:\reports' ] || fail "per user: QVSUPPORT is '$(value 'HKCU\Environment' QVSUPPORT)'"
comm -3 "$scratch/before.keys" "$scratch/user.keys" | grep -v '^.\[*HKEY_CURRENT_USER\\' | grep -q . &&
  fail "per user: keys outside HKCU changed: $(comm -3 "$scratch/before.keys" "$scratch/user.keys" | grep -v '^.\[*HKEY_CURRENT_USER\\' | head -3)"
comm -13 "$scratch/before.files" "$scratch/user.files" | grep -v '^\./users/' | grep -q . &&
  fail "per user: files outside the user's folder: $(comm -13 "$scratch/before.files" "$scratch/user.files" | grep -v '^\./users/' | head -3)"
for file in x86/velk10.dll x64/velk10.dll x64/velkview.exe docs/guide.html docs/screenshots/report-viewer.png include/velk10.h; do
  grep -qxF "./users/$USER/AppData/Local/Programs/Kestrelon/velk10/$file" "$scratch/user.files" || fail "per user: no $file"
done
for link in 'velk10 User Guide' 'velk10 Report Viewer'; do
  grep -qxF "./users/$USER/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$link.lnk" "$scratch/user.files" ||
    fail "per user: no Start menu shortcut $link"
done
msiexec user-uninstall /x "$(winpath "$msi")"
state user-removed
same_state before user-removed "per-user uninstall"

[ $failures -eq 0 ] && echo "the MSI: upgraded, registered as regsvr32 does, samples recorded, repaired, removed exactly; per user too"
[ $failures -eq 0 ]
