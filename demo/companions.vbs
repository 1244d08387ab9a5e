' Exercises the two companion components as a client of them would.
Option Explicit
Dim failures : failures = 0

Sub Check(ok, what)
  If ok Then
    WScript.Echo "ok    " & what
  Else
    WScript.Echo "FAIL  " & what
    failures = failures + 1
  End If
End Sub

Dim runtime, ini, folder, path, n, i, names, count
Set runtime = CreateObject("TOLVEX11.clsTolvex11RunTimeA")
folder = runtime.EnvironGet(2, "QVSUPPORT")
WScript.Echo "QVSUPPORT = " & folder
Check folder <> "", "EnvironGet(2, ""QVSUPPORT"") names the support folder"

Set ini = CreateObject("TOLVEX10.clsTolvexINIFileHandler1A")
path = folder & "\velkbug.ini"
ini.Path = path
' The report file's pattern: read the counter, write the next entry, advance the counter.
For i = 1 To 3
  ini.Section = "DebuggerA"
  ini.Key = "Counter"
  n = CDbl("0" & ini.Value)
  ini.Section = "DebuggerAReport"
  ini.Key = n
  ini.Value = "demo entry " & i & " > written at " & Now
  ini.Section = "DebuggerA"
  ini.Key = "Counter"
  ini.Value = n + 1
Next
ini.Section = "DebuggerAReport"
ini.EnumerateCurrentSection names, count
Check count >= 3, "the report section lists " & count & " entries"
For i = 1 To UBound(names)
  ini.Key = names(i)
  WScript.Echo "  [" & names(i) & "] " & ini.Value
Next

On Error Resume Next
ini.Path = ""
ini.Section = "DebuggerA"
Dim v : v = ini.Value
Check Err.Number <> 0, "an empty path is refused: " & Err.Number & " " & Err.Description
Err.Clear
On Error GoTo 0

WScript.Echo failures & " failed"
WScript.Quit failures
