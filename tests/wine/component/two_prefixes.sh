#!/usr/bin/env bash
# Two Wine prefixes, each with a Wine server of its own (two machines in all but the
# disk), log into one report folder at once: the report file's own lock keeps them from
# sharing an entry number.
#   two_prefixes.sh <wine-run> <second prefix> <pipeline_child.exe> <dll>...
# The first prefix is $WINEPREFIX, with the companions registered; the second is made
# and registered here.
set -u
run=$1 second=$2 child=$3
shift 3
first=$WINEPREFIX
folder=$(mktemp -d /tmp/velk-two-prefixes.XXXXXX)
trap 'rm -rf "$folder"; WINEPREFIX=$second wineserver -k 2>/dev/null' EXIT
app='HKCU\Software\VB and VBA Program Settings\Kestrelon'
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

for prefix in "$first" "$second"; do
  if [ "$prefix" = "$second" ]; then
    for dll in "$@"; do
      WINEPREFIX=$prefix "$run" regsvr32 /s "$dll" </dev/null >/dev/null 2>&1 || fail "regsvr32 $dll"
    done
  fi
  WINEPREFIX=$prefix "$run" reg delete "$app" /f </dev/null >/dev/null 2>&1
  for setting in DebuggerAEnabledLevel DebuggerAEnabledDLL DebuggerShell; do
    WINEPREFIX=$prefix "$run" reg add "$app\\Debugger\\DebuggerA" /v $setting /d 1 /f </dev/null >/dev/null 2>&1 ||
      fail "storing $setting"
  done
done

# Both name the folder through drive Z:, the whole Unix tree.
export QVSUPPORT="Z:${folder//\//\\}"
per_process=300 pids=()
for tag in a0 a1; do WINEPREFIX=$first "$run" "$child" $per_process $tag </dev/null & pids+=($!); done
for tag in b0 b1; do WINEPREFIX=$second "$run" "$child" $per_process $tag </dev/null & pids+=($!); done
for pid in "${pids[@]}"; do wait "$pid" || fail "a client ended with $?"; done
for prefix in "$first" "$second"; do WINEPREFIX=$prefix "$run" reg delete "$app" /f </dev/null >/dev/null 2>&1; done

# The live keys of the report file (a pair's hidden twin is a comment line).
total=$((4 * per_process))
entries=$(iconv -f UTF-16 -t UTF-8 "$folder/velkbug.ini" | tr -d '\r' | awk '
  /^\[/ { section = $0; next }
  /^[ \t]*;/ || !/=/ { next }
  { key = $0; sub(/=.*/, "", key); gsub(/^[ \t]+|[ \t]+$/, "", key)
    value = $0; sub(/^[^=]*=/, "", value); gsub(/[ \t]+$/, "", value)
    if (section == "[DebuggerA]" && key == "Counter") print "counter " value
    if (section == "[DebuggerAReport]") print "entry " key }')
counter=$(grep '^counter ' <<<"$entries" | cut -d' ' -f2)
[ "$counter" = "$total" ] || fail "Counter is '$counter', not $total"
expected=$(seq 0 $((total - 1)) | sort)
got=$(grep '^entry ' <<<"$entries" | cut -d' ' -f2 | sort)
[ "$got" = "$expected" ] || fail "entries are not 0..$((total - 1)) once each: $(diff <(echo "$expected") <(echo "$got") | grep -c '^[<>]') differ"
exit $failed
