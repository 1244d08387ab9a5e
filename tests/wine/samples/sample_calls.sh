#!/usr/bin/env bash
# sample_calls.sh <wine-run> <sample_calls_check.exe> <velk10.dll> <samples folder>
# The VBA and PowerShell samples make exactly the calls of the VBScript sample, in the
# same order, and every one of them exists in velk10's type library with the arguments
# the samples pass (they cannot run here, so their calls are read from the files).
set -u
run=$1 check=$2 dll=$3 samples=$4
here=$(dirname "$0")

calls() { awk -f "$here/sample_calls.awk" "$samples/$1"; }
reference=$(calls record_messages.vbs)
if [ -z "$reference" ]; then
  echo "no calls found in record_messages.vbs" >&2
  exit 1
fi
failures=0
for sample in RecordMessages.bas record_messages.ps1; do
  if [ "$(calls $sample)" != "$reference" ]; then
    echo "$sample does not make the calls of record_messages.vbs:" >&2
    diff <(echo "$reference") <(calls $sample) >&2
    failures=$((failures + 1))
  fi
done
# Each distinct call of the three once: member, kind, argument count.
mapfile -t words < <(for sample in record_messages.vbs RecordMessages.bas record_messages.ps1; do calls $sample; done |
                     sort -u | tr ' ' '\n')
"$run" "$check" "$dll" "${words[@]}" </dev/null || failures=$((failures + 1))
[ $failures -eq 0 ]
