# Registry snapshots for the registration round trips, and ProgID keys planted beside the
# DLLs' own; sourced. Needs $run (the Wine runner), $work (a folder) and the array owned
# (the keys the DLLs own).

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

# A class that is none of ours.
foreign_class='{0C1E4D1A-5F3B-4B7E-9A61-2D3C44107E01}'

prog_id_key() {  # prog_id_key <ProgID> <clsid>: a ProgID key naming the class, removed at exit
  "$run" reg add "HKCR\\$1\\CLSID" /ve /d "$2" /f </dev/null >/dev/null 2>&1 || {
    echo "reg add HKCR\\$1 failed" >&2
    exit 1
  }
  planted+=("$1")
  trap 'for key in "${planted[@]}"; do "$run" reg delete "HKCR\\$key" /f </dev/null >/dev/null 2>&1; done' EXIT
}
planted=()
