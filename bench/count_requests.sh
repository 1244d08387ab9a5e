#!/usr/bin/env bash
# count_requests.sh <server trace>
# Wine server requests per message of the pipeline benchmark, per sink configuration,
# from a trace taken with WINEDEBUG=+server (one line per request: "<thread>: <name>( ...",
# and one per reply: "<thread>: <name>() = ..."). Counts the request lines of the thread
# that marked a timed batch, between its begin and end marks (pipeline_bench.cpp), and
# prints per message: all requests, registry reads, registry writes, file opens, and
# every request by name.
set -euo pipefail
trace=${1:?usage: count_requests.sh <server trace>}
awk '
BEGIN {
  split("open_key get_key_value enum_key enum_key_value", names, " ")
  for (i in names) kind[names[i]] = "registry reads"
  split("create_key set_key_value delete_key delete_key_value flush_key", names, " ")
  for (i in names) kind[names[i]] = "registry writes"
  split("create_file open_file_object", names, " ")
  for (i in names) kind[names[i]] = "file opens"
}
/: open_event\(.*"velk-pipeline-bench (begin|end) / {
  mark = $0
  sub(/.*"velk-pipeline-bench /, "", mark)
  sub(/".*/, "", mark)
  split(mark, word, " ")  # begin|end, sinks, messages
  if (word[1] == "end") { thread = ""; next }
  thread = $1; sinks = word[2]; messages[sinks] += word[3]
  if (!(sinks in messages_seen)) { order[++configurations] = sinks; messages_seen[sinks] = 1 }
  next
}
thread != "" && $1 == thread {
  request = substr($0, length($1) + 2)
  if (request !~ /^[a-z_0-9]+\(/ || request ~ /^[a-z_0-9]+\(\) = /) next  # a reply, a wake-up, a signal
  sub(/\(.*/, "", request)
  total[sinks]++
  if (request in kind) counted[sinks, kind[request]]++
  if (!((sinks, request) in by_name)) listed[sinks] = listed[sinks] " " request
  by_name[sinks, request]++
}
END {
  if (!configurations) { print "count_requests.sh: no marked batch in the trace" > "/dev/stderr"; exit 1 }
  printf "%-9s %9s %15s %16s %11s  %s\n", "sinks", "requests", "registry reads", "registry writes", "file opens",
         "requests by name (per message)"
  for (c = 1; c <= configurations; c++) {
    s = order[c]; n = messages[s]
    split(substr(listed[s], 2), requests, " ")
    detail = ""
    for (i = 1; i in requests; i++) detail = detail sprintf(" %s %.2f", requests[i], by_name[s, requests[i]] / n)
    printf "%-9s %9.2f %15.2f %16.2f %11.2f %s\n", s, total[s] / n, counted[s, "registry reads"] / n,
           counted[s, "registry writes"] / n, counted[s, "file opens"] / n, detail
  }
  printf "(per message, over %d messages per configuration)\n", messages[order[1]]
}
' "$trace"
