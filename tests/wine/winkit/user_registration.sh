#!/usr/bin/env bash
# user_registration.sh <wine-run> <work folder> <tolvex11.dll> <tolvex10.dll> <velk10.dll>
# For each DLL, regsvr32 /n /i:user writes the class and ProgID entries of plain
# registration under HKCU\Software\Classes, nothing machine-wide of its own, and
# regsvr32 /u /n /i:user then leaves both class trees exactly as they were. Where the
# type library lands decides what machine-wide change is allowed: under the user's
# classes, none; machine-wide (Wine's RegisterTypeLibForUser registers there), only the
# library's keys and those of its interfaces. An unknown /i: command line is refused and
# changes nothing.
set -u
run=$1 work=$2
shift 2
here=$(dirname "$0")
regsvr=$here/../tolvex/regsvr.sh
mkdir -p "$work"
owned=()
. "$here/../registry_snapshots.sh"

# DLL name, its type library, then its classes as {clsid}=ProgID.
table=(
  'tolvex11 {23CEA62E-98AE-4613-B391-F5112F6B4644} {CCFCD3D7-D280-4BA2-949B-673D81388C19}=TOLVEX11.clsTolvex11RunTimeA'
  'tolvex10 {EDF6B278-070F-412C-A645-40725722D944} {18171FBF-76E7-4CC5-9D42-586200BE69A7}=TOLVEX10.clsTolvexINIFileHandler1A'
  'velk10 {B7367C8F-C5E8-4A04-AA57-24F45F941D77} {DC43A7FC-465F-4C6E-9153-C323A75E4A6F}=VELK10.clsVELKDebuggerA {5B1F8859-52F3-4154-9D5C-A7C1F4B48E0D}=VELK10.clsVELK10A'
)

failures=0
fail() { echo "$1" >&2; failures=$((failures + 1)); }

text() { iconv -f UTF-16LE -t UTF-8 "$work/$1.reg" | tr -d '\r'; }  # text <snapshot-hive>

# value <snapshot-hive> <key below Software\Classes> [name]: the value as the export
# writes it (backslashes doubled), empty when absent.
value() {
  text "$1" | K="\\Software\\Classes\\$2]" N=${3:+\"$3\"} awk '
    BEGIN { key = tolower(ENVIRON["K"]); name = (ENVIRON["N"] == "" ? "@" : ENVIRON["N"]) "=" }
    /^\[/ { on = (substr(tolower($0), length($0) - length(key) + 1) == key); next }
    on && index($0, name) == 1 { v = substr($0, length(name) + 1); gsub(/^"|"$/, "", v); print v; exit }'
}

# without <snapshot-hive> <key>...: the export minus the sections of those keys and below.
without() {
  local file=$1
  shift
  text "$file" | KEYS="$*" awk '
    BEGIN { n = split(tolower(ENVIRON["KEYS"]), drop, " ") }
    /^\[/ { skip = 0; k = tolower($0)
            for (i = 1; i <= n; i++) if (index(k, "\\software\\classes\\" drop[i] "]") || index(k, "\\software\\classes\\" drop[i] "\\")) skip = 1 }
    !skip'
}

# The machine-wide interface keys of the type library <libid> in a snapshot.
interfaces_of() {
  text "$1" | K=$2 awk '
    /^\[/ { key = $0; next }
    tolower($0) == tolower("@=\"" ENVIRON["K"] "\"") && key ~ /\\Interface\\\{[^\\]*\}\\TypeLib\]$/ {
      sub(/.*\\Interface\\/, "", key); sub(/\\TypeLib\]$/, "", key); print "Interface\\" key }'
}

dlls=("$@")
"$regsvr" "$run" unregister "${dlls[@]}" || exit 1  # nothing registered machine-wide to begin with
# Every Windows user profile has these containers; a fresh Wine prefix has not yet.
"$run" reg add 'HKCU\Software\Classes\CLSID' /f </dev/null >/dev/null 2>&1
for i in "${!table[@]}"; do
  set -- ${table[$i]}
  name=$1 libid=$2 dll=$(realpath "${dlls[$i]}")
  shift 2
  windows_dll="Z:${dll//\//\\}"
  escaped_dll=${windows_dll//\\/\\\\}
  "$run" regsvr32 /s /u /n /i:user "$dll" </dev/null >/dev/null 2>&1  # nor for the user
  snapshot before
  "$run" regsvr32 /s /n /i:user "$dll" </dev/null >/dev/null 2>&1 || fail "$name: regsvr32 /n /i:user failed"
  snapshot registered
  for class in "$@"; do
    clsid=${class%%=*} prog_id=${class#*=}
    server=$(value registered-HKCU "CLSID\\$clsid\\InprocServer32")
    [ "${server,,}" = "${escaped_dll,,}" ] || fail "$name: $clsid InprocServer32 is '$server'"
    for check in "CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment" "CLSID\\$clsid\\ProgID||$prog_id" \
                 "CLSID\\$clsid\\VersionIndependentProgID||$prog_id" "CLSID\\$clsid\\TypeLib||$libid" \
                 "$prog_id\\CLSID||$clsid"; do
      IFS='|' read -r key value_name wanted <<<"$check"
      got=$(value registered-HKCU "$key" "$value_name")
      [ "$got" = "$wanted" ] || fail "$name: HKCU\\Software\\Classes\\$key ${value_name:-(default)} is '$got', expected '$wanted'"
    done
  done
  # The type library: the user's on Windows, machine-wide under Wine's stand-in.
  library="TypeLib\\$libid\\1.0\\0\\win32"
  allowed=()
  if [ "$(value registered-HKCU "$library")" = "" ]; then
    path=$(value registered-HKLM "$library")
    [ "${path,,}" = "${escaped_dll,,}" ] || fail "$name: type library registered neither for the user nor machine-wide"
    allowed=("TypeLib\\$libid" $(interfaces_of registered-HKLM "$libid"))
  fi
  cmp -s <(without before-HKLM "${allowed[@]}") <(without registered-HKLM "${allowed[@]}") ||
    fail "$name: registering for the user changed HKLM\\Software\\Classes beyond its type library: $(diff <(without before-HKLM "${allowed[@]}") <(without registered-HKLM "${allowed[@]}") | head -10)"
  "$run" regsvr32 /s /u /n /i:user "$dll" </dev/null >/dev/null 2>&1 || fail "$name: regsvr32 /u /n /i:user failed"
  snapshot after
  same before after || fail "$name: unregistering for the user left the class trees changed"
done

# A command line that names no scope: refused, nothing written.
if "$run" regsvr32 /s /n /i:everyone "${dlls[0]}" </dev/null >/dev/null 2>&1; then
  fail "regsvr32 /n /i:everyone succeeded"
fi
snapshot refused
same before refused || fail "the refused command line changed the class trees"

[ $failures -eq 0 ] && echo "each DLL registered for the user and unregistered, class trees restored exactly"
[ $failures -eq 0 ]
