# Lists the calls that a VBScript, VBA or PowerShell sample makes on its debugger object,
# one a line: "<member> <kind> <argument count>", kind being "call", "put" (an
# assignment) or "putref" (an object assignment with Set).
#   awk -f sample_calls.awk <sample file>
# Full-line comments (' or #) are skipped; a call is `debugger.Member args` (VB),
# `$debugger.Member(args)` (both), or an assignment `[Set] [$]debugger.Member = value`.

# The number of arguments in `text`: commas outside strings and brackets, plus one,
# or 0 for blank text.
function count_args(text,    i, c, depth, quoted, n, blank) {
  depth = 0; quoted = ""; n = 1; blank = 1
  for (i = 1; i <= length(text); i++) {
    c = substr(text, i, 1)
    if (quoted != "") { if (c == quoted) quoted = ""; continue }
    if (c == "\"" || c == "'") { quoted = c; blank = 0; continue }
    if (c == "(") depth++
    else if (c == ")") depth--
    else if (c == "," && depth == 0) n++
    if (c != " " && c != "\t") blank = 0
  }
  return blank ? 0 : n
}

# The text inside the brackets that open at the start of `text`.
function bracketed(text,    i, c, depth, quoted) {
  depth = 0; quoted = ""
  for (i = 1; i <= length(text); i++) {
    c = substr(text, i, 1)
    if (quoted != "") { if (c == quoted) quoted = ""; continue }
    if (c == "\"") { quoted = c; continue }
    if (c == "(") depth++
    else if (c == ")" && --depth == 0) return substr(text, 2, i - 2)
  }
  return substr(text, 2)
}

{ sub(/\r$/, "") }
/^[ \t]*['#]/ { next }
{
  line = $0
  while (match(line, /debugger\.[A-Za-z_][A-Za-z_0-9]*/)) {
    member = substr(line, RSTART + 9, RLENGTH - 9)
    rest = substr(line, RSTART + RLENGTH)
    line = rest
    if (match(rest, /^[ \t]*=/)) { print member, (tolower($0) ~ /^[ \t]*set[ \t]/ ? "putref" : "put"), 1; continue }
    if (substr(rest, 1, 1) == "(") { print member, "call", count_args(bracketed(rest)); continue }
    sub(/^[ \t]+/, "", rest)
    print member, "call", count_args(rest)
    line = ""
  }
}
