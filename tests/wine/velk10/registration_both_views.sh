#!/usr/bin/env bash
# registration_both_views.sh <wine-run> <work folder> <32-bit DLLs...> -- <64-bit DLLs...>
# In a 64-bit prefix, the 32-bit regsvr32 registers the 32-bit DLLs and the 64-bit one the
# 64-bit DLLs, side by side. Unregistering either leaves exactly what the other one wrote
# on its own (the ProgIDs, the type library's other platform and the interface keys are
# shared) and clients of the other bitness still create every class by ProgID; the last
# unregistration leaves the class registry as it was.
set -u
run=$1 work=$2
shift 2
dlls32=() dlls64=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do dlls32+=("$1"); shift; done
shift
dlls64=("$@")
here=$(dirname "$0")
mkdir -p "$work"
owned=(
  'HKCR\VELK10.clsVELKDebuggerA'
  'HKCR\VELK10.clsVELK10A'
  'HKCR\TOLVEX10.clsTolvexINIFileHandler1A'
  'HKCR\TOLVEX11.clsTolvex11RunTimeA'
  'HKCR\TypeLib\{B7367C8F-C5E8-4A04-AA57-24F45F941D77}'
  'HKCR\TypeLib\{EDF6B278-070F-412C-A645-40725722D944}'
  'HKCR\TypeLib\{23CEA62E-98AE-4613-B391-F5112F6B4644}'
)
. "$here/../registry_snapshots.sh"

regsvr() {  # regsvr 32|64 register|unregister
  local -n dlls=dlls$1
  local program=regsvr32
  [ "$1" = 32 ] && program='C:\windows\syswow64\regsvr32.exe'
  REGSVR32=$program "$here/../tolvex/regsvr.sh" "$run" "$2" "${dlls[@]}" || exit 1
}

# A client of each bitness creates every class by its ProgID (the debugger creates the
# companions by theirs too).
cat >"$work/create.vbs" <<'VBS'
On Error Resume Next
For i = 0 To WScript.Arguments.Count - 1
  Set made = CreateObject(WScript.Arguments(i))
  If Err.Number <> 0 Then
    WScript.Echo WScript.Arguments(i) & ": error " & Err.Number & " " & Err.Description
    WScript.Quit 1
  End If
  Set made = Nothing
Next
VBS
creates() {  # creates 32|64 [--]: every class, or with --, none
  local cscript=cscript
  [ "$1" = 32 ] && cscript='C:\windows\syswow64\cscript.exe'
  local classes=(VELK10.clsVELKDebuggerA VELK10.clsVELK10A TOLVEX10.clsTolvexINIFileHandler1A TOLVEX11.clsTolvex11RunTimeA)
  [ "${2:-}" = -- ] && classes=()
  "$run" "$cscript" //nologo "Z:${work//\//\\}\\create.vbs" ${classes[@]+"${classes[@]}"} </dev/null | tr -d '\r' >&2
  [ "${PIPESTATUS[0]}" = 0 ] || { echo "a $1-bit client cannot create every class" >&2; exit 1; }
}

# A debugger object reads the settings when it is made (with the window switch on, it
# opens the report viewer): none stored, so that the clients below only make objects.
"$run" reg delete 'HKCU\Software\VB and VBA Program Settings\Kestrelon' /f </dev/null >/dev/null 2>&1
# Each bitness's script host registers its own interfaces when it first runs in a new
# prefix: let both do that before the first snapshot.
creates 32 --
creates 64 --
regsvr 64 unregister
regsvr 32 unregister  # start from a prefix without either
owned_keys absent || exit 1
snapshot before
regsvr 64 register
snapshot only64
owned_keys present || exit 1
# The 64-bit library registers as the win64 platform's, naming the 64-bit DLL.
win64_path=$("$run" reg query 'HKCR\TypeLib\{B7367C8F-C5E8-4A04-AA57-24F45F941D77}\1.0\0\win64' /ve </dev/null |
  tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')
wanted="Z:${dlls64[0]//\//\\}"
[ "${win64_path,,}" = "${wanted,,}" ] || { echo "TypeLib ...\\0\\win64: '$win64_path', expected '$wanted'" >&2; exit 1; }
regsvr 64 unregister
snapshot after64
same before after64 || exit 1

regsvr 32 register
snapshot only32
creates 32
regsvr 64 register
creates 64
regsvr 64 unregister
snapshot kept32
same only32 kept32 || exit 1
creates 32

regsvr 64 register
regsvr 32 unregister
snapshot kept64
same only64 kept64 || exit 1
creates 64
regsvr 64 unregister
snapshot after
same before after || exit 1
owned_keys absent || exit 1
echo "each bitness registered alone and beside the other, registry restored exactly"
