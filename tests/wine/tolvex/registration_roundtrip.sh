#!/usr/bin/env bash
# registration_roundtrip.sh <wine-run> <work folder> <dll>...
# Registering and then unregistering the DLLs leaves the class registry (machine and
# user) exactly as it was: compares exported snapshots taken before and after, and
# checks that each key the DLLs own exists while registered and is gone afterwards, and
# that another class's ProgID key beside theirs is left untouched.
set -u
owned=(
  'HKCR\CLSID\{18171FBF-76E7-4CC5-9D42-586200BE69A7}'
  'HKCR\Interface\{CD0702CA-4748-4F4C-A346-7A0038AF0C98}'
  'HKCR\TypeLib\{EDF6B278-070F-412C-A645-40725722D944}'
  'HKCR\TOLVEX10.clsTolvexINIFileHandler1A'
  'HKCR\CLSID\{CCFCD3D7-D280-4BA2-949B-673D81388C19}'
  'HKCR\Interface\{39C55F59-88BE-458D-9D3F-DEB3E40F3E8A}'
  'HKCR\TypeLib\{23CEA62E-98AE-4613-B391-F5112F6B4644}'
  'HKCR\TOLVEX11.clsTolvex11RunTimeA'
)
run=$1 work=$2
shift 2
here=$(dirname "$0")
mkdir -p "$work"

. "$here/../registry_snapshots.sh"

"$here/regsvr.sh" "$run" unregister "$@" || exit 1  # start from a prefix without them
# Another class's ProgID beside ours: the round trip leaves it as it was.
prog_id_key TOLVEX10.clsTolvexINIFileHandler1A.1 "$foreign_class"
owned_keys absent || exit 1
snapshot before
# The versioned ProgID an earlier build registered for our class: registration drops it.
prog_id_key TOLVEX11.clsTolvex11RunTimeA.1 '{CCFCD3D7-D280-4BA2-949B-673D81388C19}'
"$here/regsvr.sh" "$run" register "$@" || exit 1
snapshot registered
owned_keys present || exit 1
if same before registered 2>/dev/null; then
  echo "registration changed nothing" >&2
  exit 1
fi
"$here/regsvr.sh" "$run" unregister "$@" || exit 1
snapshot after
same before after || exit 1
# A second unregistration finds nothing to remove and still succeeds.
"$here/regsvr.sh" "$run" unregister "$@" || exit 1
snapshot again
same before again || exit 1
echo "registry restored exactly"
