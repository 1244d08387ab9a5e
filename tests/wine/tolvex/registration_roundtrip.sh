#!/usr/bin/env bash
# registration_roundtrip.sh <wine-run> <work folder> <dll>...
# Registering and then unregistering the DLLs leaves the class registry (machine and
# user) exactly as it was: compares exported snapshots taken before and after, and
# checks that each key the DLLs own exists while registered and is gone afterwards.
set -u
owned=(
  'HKCR\CLSID\{18171FBF-76E7-4CC5-9D42-586200BE69A7}'
  'HKCR\Interface\{CD0702CA-4748-4F4C-A346-7A0038AF0C98}'
  'HKCR\TypeLib\{EDF6B278-070F-412C-A645-40725722D944}'
  'HKCR\TOLVEX10.clsTolvexINIFileHandler1A'
  'HKCR\TOLVEX10.clsTolvexINIFileHandler1A.1'
  'HKCR\CLSID\{CCFCD3D7-D280-4BA2-949B-673D81388C19}'
  'HKCR\Interface\{39C55F59-88BE-458D-9D3F-DEB3E40F3E8A}'
  'HKCR\TypeLib\{23CEA62E-98AE-4613-B391-F5112F6B4644}'
  'HKCR\TOLVEX11.clsTolvex11RunTimeA'
  'HKCR\TOLVEX11.clsTolvex11RunTimeA.1'
)
run=$1 work=$2
shift 2
here=$(dirname "$0")
mkdir -p "$work"

snapshot() {  # snapshot <name>: exports both class trees to <work>/<name>-*.reg
  local hive
  for hive in HKLM HKCU; do
    rm -f "$work/$1-$hive.reg"
    if ! "$run" reg query "$hive\\Software\\Classes" </dev/null >/dev/null 2>&1; then
      : >"$work/$1-$hive.reg"  # no such tree: an empty snapshot
      continue
    fi
    "$run" reg export "$hive\\Software\\Classes" "Z:${work//\//\\}\\$1-$hive.reg" </dev/null >/dev/null 2>&1 || {
      echo "reg export $hive failed" >&2
      exit 1
    }
  done
}

same() {  # same <a> <b>: both snapshots equal, else prints the difference
  local hive status=0
  for hive in HKLM HKCU; do
    if ! cmp -s "$work/$1-$hive.reg" "$work/$2-$hive.reg"; then
      echo "$hive\\Software\\Classes differs between '$1' and '$2':" >&2
      diff <(iconv -f UTF-16LE -t UTF-8 "$work/$1-$hive.reg") <(iconv -f UTF-16LE -t UTF-8 "$work/$2-$hive.reg") | head -40 >&2
      status=1
    fi
  done
  return $status
}

owned_keys() {  # owned_keys present|absent: every owned key is (or is not) there
  local key status=0
  for key in "${owned[@]}"; do
    if "$run" reg query "$key" </dev/null >/dev/null 2>&1; then
      [ "$1" = present ] || { echo "$key is still there" >&2; status=1; }
    else
      [ "$1" = absent ] || { echo "$key is missing" >&2; status=1; }
    fi
  done
  return $status
}

"$here/regsvr.sh" "$run" unregister "$@" || exit 1  # start from a prefix without them
owned_keys absent || exit 1
snapshot before
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
