#!/usr/bin/env bash
# regsvr.sh <wine-run> register|unregister <dll>...
# Registers (or unregisters) each DLL with regsvr32 in the private prefix; REGSVR32 names
# another regsvr32 (the 32-bit one of a 64-bit prefix: C:\windows\syswow64\regsvr32.exe).
set -u
run=$1 mode=$2
shift 2
flag=
[ "$mode" = unregister ] && flag=/u
for dll in "$@"; do
  output=$("$run" "${REGSVR32:-regsvr32}" /s $flag "$dll" </dev/null 2>&1)
  status=$?
  if [ $status != 0 ]; then
    echo "regsvr32 $flag $dll failed with exit status $status${output:+: $output}" >&2
    exit 1
  fi
done
