#!/usr/bin/env bash
# as_a_user.sh <cpack> <build folder> <scratch folder> <version> <viewer_closer.exe>
# The release package as a user takes it: cpack makes the zip, it is unpacked into a
# scratch folder, and in a clean 64-bit Wine prefix
#  - register.cmd /machine registers both bitnesses;
#  - the VBScript sample runs under the 32-bit and the 64-bit cscript, and the C++
#    samples, built from the package's include/ alone (late-bound 32-bit, early-bound
#    64-bit), each record their messages into a report file of their own;
#  - unregister.cmd /machine leaves both class trees as they were before;
#  - register.cmd and unregister.cmd for the user do the same.
# (Wine's COM does not read HKCU\Software\Classes, so what the samples need is the
# machine-wide registration; the per-user one is checked by its own round trips.)
set -u
cpack=$1 build=$2 scratch=$3 version=$4 closer=$5
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../../tools/wine-run
work=$scratch
export WINEARCH=win64 WINEPREFIX=$scratch/prefix
owned=()
. "$here/../wine/registry_snapshots.sh"
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
kestrelon='HKCU\Software\VB and VBA Program Settings\Kestrelon'
failures=0
fail() { echo "$1" >&2; failures=$((failures + 1)); }

rm -rf "$scratch" && mkdir -p "$scratch/unpacked" "$scratch/clients"
trap 'wineserver -k 2>/dev/null' EXIT
(cd "$build" && "$cpack" -G ZIP -B "$scratch" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log" >&2; exit 1; }
(cd "$scratch/unpacked" && cmake -E tar xf "$scratch/velk10-$version-windows.zip") || exit 1
package=$scratch/unpacked
[ -d "$package/x64" ] || fail "the package has no x64 folder"

# The C++ samples, as a user builds them from the package.
flags=(-std=c++17 -O2 -static -municode -I"$package/include")
i686-w64-mingw32-g++-posix "${flags[@]}" -o "$scratch/clients/late_bound32.exe" "$package/samples/cpp/late_bound.cpp" \
  -lole32 -loleaut32 -luuid || fail "the late-bound sample does not build (i686)"
x86_64-w64-mingw32-g++-posix "${flags[@]}" -o "$scratch/clients/early_bound64.exe" "$package/samples/cpp/early_bound.cpp" \
  "$package/include/velk10_i.c" -lole32 -loleaut32 -luuid || fail "the early-bound sample does not build (x86_64)"

# Each script host registers its own type library the first time it runs: before the snapshot.
vbs=$(winpath "$package/samples/record_messages.vbs")
(unset QVSUPPORT; "$run" cscript //nologo "$vbs" </dev/null >/dev/null 2>&1
 "$run" 'C:\windows\syswow64\cscript.exe' //nologo "$vbs" </dev/null >/dev/null 2>&1)
# Every Windows user profile has these containers; a fresh Wine prefix has not yet.
"$run" reg add 'HKCU\Software\Classes\CLSID' /f </dev/null >/dev/null 2>&1
snapshot before

layout=$(winpath "$package")
"$run" cmd /c "$layout\\register.cmd" /machine </dev/null >"$scratch/register.txt" 2>&1 ||
  fail "register.cmd /machine failed: $(tr -d '\r' <"$scratch/register.txt")"
for folder in x86 x64; do
  grep -q "Registered $folder\\\\velk10.dll" "$scratch/register.txt" ||
    fail "register.cmd /machine did not register $folder\\velk10.dll: $(tr -d '\r' <"$scratch/register.txt")"
done

# run_sample <name> <command...>: into a report folder of its own, run by viewer_closer (a
# 32-bit program), which closes the viewer the sample shows.
run_sample() {
  local name=$1 lines
  shift
  mkdir -p "$scratch/$name"
  "$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1
  QVSUPPORT=$(winpath "$scratch/$name") "$run" "$closer" "$@" </dev/null >"$scratch/$name.txt" 2>&1 ||
    fail "$name: exit status $?: $(tr -d '\r' <"$scratch/$name.txt")"
  lines=$(iconv -f UTF-16 -t UTF-8 "$scratch/$name/velkbug.ini" 2>/dev/null | tr -d '\r')
  grep -q '^2=3\. (dll)  > APPOBJNOTHING > modInvoices > Invoice saved > 2 pages > ' <<<"$lines" &&
    grep -qE '^ *Counter=4 *$' <<<"$lines" || fail "$name: its report file holds '$lines'"
}
# The 64-bit script host by the name a 32-bit program gives it (system32 is the 32-bit one's).
run_sample vbscript64 'C:\windows\sysnative\cscript.exe' //nologo "$vbs"
run_sample vbscript32 'C:\windows\syswow64\cscript.exe' //nologo "$vbs"
run_sample late_bound32 "$(winpath "$scratch/clients/late_bound32.exe")"
run_sample early_bound64 "$(winpath "$scratch/clients/early_bound64.exe")"
"$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1

"$run" cmd /c "$layout\\unregister.cmd" /machine </dev/null >"$scratch/unregister.txt" 2>&1 ||
  fail "unregister.cmd /machine failed: $(tr -d '\r' <"$scratch/unregister.txt")"
snapshot after
same before after || fail "unregister.cmd /machine left the class trees changed"

# For the user, both bitnesses, and back.
"$run" cmd /c "$layout\\register.cmd" </dev/null >"$scratch/register-user.txt" 2>&1 ||
  fail "register.cmd failed: $(tr -d '\r' <"$scratch/register-user.txt")"
grep -q "Registered velk10 .*\[x86 and x64\]" "$scratch/register-user.txt" ||
  fail "register.cmd did not register both bitnesses: $(tr -d '\r' <"$scratch/register-user.txt")"
"$run" reg query 'HKCU\Software\Classes\CLSID\{DC43A7FC-465F-4C6E-9153-C323A75E4A6F}\InprocServer32' \
  </dev/null >/dev/null 2>&1 || fail "register.cmd wrote no class under HKCU\\Software\\Classes"
"$run" cmd /c "$layout\\unregister.cmd" </dev/null >"$scratch/unregister-user.txt" 2>&1 ||
  fail "unregister.cmd failed: $(tr -d '\r' <"$scratch/unregister-user.txt")"
snapshot user
same before user || fail "unregister.cmd left the class trees changed"

[ $failures -eq 0 ] && echo "the package: registered, four samples recorded, unregistered exactly"
[ $failures -eq 0 ]
