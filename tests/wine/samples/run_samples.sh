#!/usr/bin/env bash
# run_samples.sh <wine-run> <work folder> <viewer_closer.exe> <samples folder> <late_bound.exe> <early_bound.exe>
# Runs the VBScript sample under cscript and the two C++ samples, each as a user would
# on a machine where velk10 is registered: no settings stored (each sample sets up its
# own), the report viewer closed by hand (viewer_closer) once it shows. Each must leave
# its three messages of level 1 in a new report file, the level-2 one as an empty entry,
# and the viewer must list the three. Without QVSUPPORT a sample says so and stops.
set -u
run=$1 work=$2 closer=$3 samples=$4 late=$5 early=$6
kestrelon='HKCU\Software\VB and VBA Program Settings\Kestrelon'
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

failures=0
fail() { echo "$1" >&2; failures=$((failures + 1)); }

# check <sample> <report file> <name of its first message> <text of its first message>
check() {
  local sample=$1 file=$2 lines n
  if [ ! -f "$file" ]; then
    fail "$sample: no report file $file"
    return
  fi
  lines=$(iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r')
  local expected=(
    "0=1. (exe)  > APPOBJNOTHING > $3 > $4 > - > "
    "1=2. (dll)  > APPOBJNOTHING > modCustomers > Customer loaded > id 4711 > "
    "2=3. (dll)  > APPOBJNOTHING > modInvoices > Invoice saved > 2 pages > "
  )
  for n in 0 1 2; do
    local line
    line=$(grep "^$n=" <<<"$lines")
    # The line ends in the date and time of the message.
    if [ "${line#"${expected[$n]}"}" = "$line" ] || ! [[ ${line#"${expected[$n]}"} =~ [0-9] ]]; then
      fail "$sample: entry $n is '$line', expected '${expected[$n]}<date and time>'"
    fi
  done
  grep -qx '3=' <<<"$lines" || fail "$sample: the level-2 message left no empty entry 3"
  grep -qE '^ *Counter=4 *$' <<<"$lines" || fail "$sample: Counter is not 4: $(grep Counter= <<<"$lines")"
}

# run_sample <name> <command...>: run by viewer_closer, which closes the viewer the sample
# shows and says how many rows it listed; the output goes to <work>/<name>-output.txt.
run_sample() {
  local name=$1 rows
  shift
  "$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1
  "$run" "$closer" "$@" </dev/null >"$work/$name-output.txt" 2>&1 || fail "$name: exit status $?: $(cat "$work/$name-output.txt")"
  rows=$(tr -d '\r' <"$work/$name-output.txt" | grep '^rows ')
  [ "$rows" = "rows 3" ] || fail "$name: the viewer showed '$rows', expected 'rows 3'"
}

rm -rf "$work" && mkdir -p "$work"
vbscript=(cscript //nologo "$(winpath "$samples/record_messages.vbs")")

# Without QVSUPPORT: a clear word and a failure, before anything is set up.
unset QVSUPPORT
"$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1
if "$run" "${vbscript[@]}" </dev/null >"$work/unset-output.txt" 2>&1; then
  fail "vbscript without QVSUPPORT: exit status 0"
fi
grep -q "QVSUPPORT is not set" "$work/unset-output.txt" ||
  fail "vbscript without QVSUPPORT: it said '$(cat "$work/unset-output.txt")'"
"$run" reg query "$kestrelon" </dev/null >/dev/null 2>&1 && fail "vbscript without QVSUPPORT: it stored settings"

export QVSUPPORT
for sample in record_messages late_bound early_bound; do
  mkdir -p "$work/$sample"
  QVSUPPORT=$(winpath "$work/$sample")
  case $sample in
    record_messages) run_sample $sample "${vbscript[@]}"; first="Script started" ;;
    late_bound) run_sample $sample "$(winpath "$late")"; first="Program started" ;;
    early_bound) run_sample $sample "$(winpath "$early")"; first="Program started" ;;
  esac
  check $sample "$work/$sample/velkbug.ini" $sample "$first"
done

"$run" reg delete "$kestrelon" /f </dev/null >/dev/null 2>&1
[ $failures -eq 0 ] && echo "the samples recorded their messages"
[ $failures -eq 0 ]
