#!/usr/bin/env bash
# register_scripts.sh <wine-run> <work folder> <viewer_closer.exe> <package folder> <samples folder> <dll>...
# register.cmd and unregister.cmd under `wine cmd /c`, from a folder laid out as the
# package is (x86\ with the DLLs; no x64\ in a 32-bit prefix):
#  - /machine: the VBScript sample then records its messages, and unregistering restores
#    the class trees exactly;
#  - for the user: the ProgID lands under HKCU\Software\Classes, and unregistering
#    restores the class trees exactly;
#  - a DLL that cannot register, or an unknown option: a non-zero exit code, a message
#    that says what failed, and nothing registered after it.
set -u
run=$1 work=$2 closer=$3 package=$4 samples=$5
shift 5
here=$(dirname "$0")
owned=()
. "$here/../registry_snapshots.sh"
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
kestrelon='HKCU\Software\VB and VBA Program Settings\Kestrelon'

failures=0
fail() { echo "$1" >&2; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work/layout/x86" "$work/support"
cp "$package/register.cmd" "$package/unregister.cmd" "$work/layout/"
cp "$@" "$work/layout/x86/"
layout=$(winpath "$work/layout")

# script <name> <expected exit code> <option>...: runs it, its output in <work>/<name>.txt
script() {
  local name=$1 wanted=$2 status=0
  shift 2
  "$run" cmd /c "$layout\\$name.cmd" "$@" </dev/null >"$work/$name.txt" 2>&1 || status=$?
  tr -d '\r' <"$work/$name.txt" >"$work/$name.out"
  [ "$status" = "$wanted" ] || fail "$name.cmd $*: exit code $status, expected $wanted: $(cat "$work/$name.out")"
}

# Every Windows user profile has these containers; a fresh Wine prefix has not yet.
"$run" reg add 'HKCU\Software\Classes\CLSID' /f </dev/null >/dev/null 2>&1
# Nothing registered to begin with, machine-wide or for the user.
"$here/../tolvex/regsvr.sh" "$run" unregister "$@" || exit 1
for dll in "$@"; do "$run" regsvr32 /s /u /n /i:user "$dll" </dev/null >/dev/null 2>&1; done
# The script host registers its own type library the first time it runs: before the snapshot.
vbscript=(cscript //nologo "$(winpath "$samples/record_messages.vbs")")
(unset QVSUPPORT; "$run" "${vbscript[@]}" </dev/null >/dev/null 2>&1)
snapshot before

script register 0 /machine
for dll in tolvex11 tolvex10 velk10; do
  grep -qx "Registered x86\\\\$dll.dll for every user of this machine." "$work/register.out" ||
    fail "register.cmd /machine did not say it registered $dll: $(cat "$work/register.out")"
done
"$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1
QVSUPPORT=$(winpath "$work/support") "$run" "$closer" "${vbscript[@]}" </dev/null >"$work/sample.txt" 2>&1 ||
  fail "the VBScript sample failed: $(cat "$work/sample.txt")"
"$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1
report=$(iconv -f UTF-16 -t UTF-8 "$work/support/velkbug.ini" 2>/dev/null | tr -d '\r')
grep -q '^0=1\. (exe)  > APPOBJNOTHING > record_messages > Script started > ' <<<"$report" &&
  grep -qE '^ *Counter=4 *$' <<<"$report" || fail "the sample's report file: '$report'"
script unregister 0 /machine
snapshot machine
same before machine || fail "unregister.cmd /machine left the class trees changed"

script register 0
"$run" reg query 'HKCU\Software\Classes\VELK10.clsVELKDebuggerA\CLSID' </dev/null >/dev/null 2>&1 ||
  fail "register.cmd wrote no VELK10.clsVELKDebuggerA under HKCU\\Software\\Classes"
script unregister 0
snapshot user
same before user || fail "unregister.cmd left the class trees changed"

# tolvex10 that is no DLL: tolvex11 is registered, velk10 is not.
echo "not a DLL" >"$work/layout/x86/tolvex10.dll"
script register 1
grep -q 'could not register x86\\tolvex10.dll' "$work/register.out" ||
  fail "register.cmd did not name the DLL that failed: $(cat "$work/register.out")"
"$run" reg query 'HKCU\Software\Classes\VELK10.clsVELKDebuggerA' </dev/null >/dev/null 2>&1 &&
  fail "register.cmd went on after tolvex10.dll failed"
"$run" regsvr32 /s /u /n /i:user "$(winpath "$work/layout/x86/tolvex11.dll")" </dev/null >/dev/null 2>&1
script register 2 /everyone
grep -q 'Unknown option: /everyone' "$work/register.out" || fail "register.cmd /everyone said: $(cat "$work/register.out")"
snapshot refused
same before refused || fail "the failed registrations left the class trees changed"

[ $failures -eq 0 ] && echo "register.cmd and unregister.cmd: registered, recorded, restored exactly"
[ $failures -eq 0 ]
