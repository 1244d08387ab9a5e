#!/usr/bin/env bash
# registration_roundtrip.sh <wine-run> <work folder> <velk10.dll>
# regsvr32 writes every entry of velk10.dll with the values clients rely on, and
# regsvr32 /u then leaves the class registry (machine and user) exactly as it was, with
# another class's ProgID key beside ours untouched.
set -u
run=$1 work=$2 dll=$3
regsvr=$(dirname "$0")/../tolvex/regsvr.sh
mkdir -p "$work"

libid='{B7367C8F-C5E8-4A04-AA57-24F45F941D77}'
debugger='{DC43A7FC-465F-4C6E-9153-C323A75E4A6F}'
library='{5B1F8859-52F3-4154-9D5C-A7C1F4B48E0D}'
debugger_iid='{5C6BB6EE-5414-4486-B97E-8A5153DA43CC}'
library_iid='{D279A6E0-C14E-4608-B294-126A829DC773}'
marshaler='{00020424-0000-0000-C000-000000000046}'
owned=(
  "HKCR\\CLSID\\$debugger"
  "HKCR\\CLSID\\$library"
  "HKCR\\Interface\\$debugger_iid"
  "HKCR\\Interface\\$library_iid"
  "HKCR\\TypeLib\\$libid"
  'HKCR\VELK10.clsVELKDebuggerA'
  'HKCR\VELK10.clsVELK10A'
)
# The DLL as Windows names it: the Unix path on drive Z:.
windows_dll="Z:${dll//\//\\}"

. "$(dirname "$0")/../registry_snapshots.sh"

value() {  # value <key> [name]: the text value (the default one without a name)
  local out
  if [ $# -gt 1 ]; then
    out=$("$run" reg query "$1" /v "$2" </dev/null 2>/dev/null) || return 1
  else
    out=$("$run" reg query "$1" /ve </dev/null 2>/dev/null) || return 1
  fi
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^ *[^ ].*  *REG_SZ  *//p' | head -1
}

failures=0
expect() {  # expect <what> <actual> <wanted> [nocase]
  local actual=$2 wanted=$3
  if [ "${4:-}" = nocase ]; then
    actual=${actual,,} wanted=${wanted,,}
  fi
  if [ "$actual" != "$wanted" ]; then
    echo "$1: '$2', expected '$3'" >&2
    failures=$((failures + 1))
  fi
}

entries() {  # the values that clients of the registered DLL rely on
  local clsid prog iid
  for clsid in "$debugger" "$library"; do
    expect "$clsid InprocServer32" "$(value "HKCR\\CLSID\\$clsid\\InprocServer32")" "$windows_dll" nocase
    expect "$clsid ThreadingModel" "$(value "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel)" Apartment
    expect "$clsid TypeLib" "$(value "HKCR\\CLSID\\$clsid\\TypeLib")" "$libid"
  done
  # The class names the ProgID it is created by, and that ProgID names the class.
  set -- "$debugger" VELK10.clsVELKDebuggerA "$library" VELK10.clsVELK10A
  while [ $# -gt 0 ]; do
    expect "$1 ProgID" "$(value "HKCR\\CLSID\\$1\\ProgID")" "$2"
    expect "$1 VersionIndependentProgID" "$(value "HKCR\\CLSID\\$1\\VersionIndependentProgID")" "$2"
    expect "$2 CLSID" "$(value "HKCR\\$2\\CLSID")" "$1"
    shift 2
  done
  expect "another class's VELK10.clsVELKDebuggerA.1" "$(value 'HKCR\VELK10.clsVELKDebuggerA.1\CLSID')" \
    "$foreign_class"
  expect "an earlier build's VELK10.clsVELK10A.1" "$(value 'HKCR\VELK10.clsVELK10A.1\CLSID')" ""
  expect "TypeLib 1.0 help text" "$(value "HKCR\\TypeLib\\$libid\\1.0")" "Kestrelon VELK Library 1.0 "
  expect "TypeLib 1.0 locale 0 win32" "$(value "HKCR\\TypeLib\\$libid\\1.0\\0\\win32")" "$windows_dll" nocase
  for iid in "$debugger_iid" "$library_iid"; do
    expect "$iid ProxyStubClsid32" "$(value "HKCR\\Interface\\$iid\\ProxyStubClsid32")" "$marshaler"
    expect "$iid TypeLib" "$(value "HKCR\\Interface\\$iid\\TypeLib")" "$libid"
    expect "$iid TypeLib Version" "$(value "HKCR\\Interface\\$iid\\TypeLib" Version)" 1.0
  done
}

"$regsvr" "$run" unregister "$dll" || exit 1  # start from a prefix without it
# Another class's ProgID beside ours: the round trip leaves it as it was.
prog_id_key VELK10.clsVELKDebuggerA.1 "$foreign_class"
owned_keys absent || exit 1
snapshot before
# The versioned ProgID an earlier build registered for our class: registration drops it.
prog_id_key VELK10.clsVELK10A.1 "$library"
"$regsvr" "$run" register "$dll" || exit 1
snapshot registered
owned_keys present || exit 1
entries
[ "$failures" = 0 ] || exit 1
"$regsvr" "$run" unregister "$dll" || exit 1
snapshot after
same before after || exit 1
owned_keys absent || exit 1
# A second unregistration finds nothing to remove and still succeeds.
"$regsvr" "$run" unregister "$dll" || exit 1
snapshot again
same before again || exit 1
echo "every entry written, registry restored exactly"
