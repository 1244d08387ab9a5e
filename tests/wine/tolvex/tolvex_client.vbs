' The companion components from a VBScript client, as the recorder's scripts use them.
' cscript does not report run-time errors under Wine, so the script checks Err after
' every step; a failing statement is skipped, so each value is read into a variable
' first and checked next. The exit code is the number of failed checks.
Option Explicit
On Error Resume Next

Const kIniProgId = "TOLVEX10.clsTolvexINIFileHandler1A"
Const kRuntimeProgId = "TOLVEX11.clsTolvex11RunTimeA"
Dim failures : failures = 0
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")
Dim shell : Set shell = CreateObject("WScript.Shell")

' Every procedure that takes steps continues past their errors (On Error Resume Next,
' which also clears Err on entry: call them only after a check). The checks leave Err
' alone until they have looked at it (no On Error of their own).
Sub Fail(what)
  failures = failures + 1
  WScript.Echo "FAIL: " & what
End Sub

' The steps since the last check raised no error.
Sub NoError(what)
  If Err.Number <> 0 Then Fail what & ": error " & Err.Number & " " & Err.Description
  Err.Clear
End Sub

' The last step raised error number, with a description, from source.
Sub RaisedError(number, source, what)
  If Err.Number <> number Then
    Fail what & ": expected error " & number & ", got " & Err.Number & " " & Err.Description
  ElseIf Len(Err.Description) = 0 Then
    Fail what & ": error " & number & " has no description"
  ElseIf Err.Source <> source Then
    Fail what & ": error source is '" & Err.Source & "'"
  End If
  Err.Clear
End Sub

' The steps since the last check raised no error and produced the expected value.
Sub Same(actual, expected, what)
  If Err.Number <> 0 Then
    Fail what & ": error " & Err.Number & " " & Err.Description
  ElseIf actual <> expected Then
    Fail what & ": got '" & Left(actual, 60) & "' (" & Len(actual) & " units), expected '" & _
         Left(expected, 60) & "' (" & Len(expected) & " units)"
  End If
  Err.Clear
End Sub

' A text the test run put in the environment (under Wine the script itself can only
' spell ASCII); its length in UTF-16 units shows that it arrived intact.
Function Sample(name, length)
  On Error Resume Next
  Sample = shell.Environment("PROCESS")("VELK_SAMPLE_" & name)
  If Err.Number <> 0 Or Len(Sample) <> length Then
    Fail "sample " & name & " arrived as '" & Sample & "' (" & Len(Sample) & " units, not " & length & ")"
  End If
  Err.Clear
End Function

Function NewHandler(path, section)
  On Error Resume Next
  Set NewHandler = CreateObject(kIniProgId)
  NoError "create " & kIniProgId
  NewHandler.Path = path
  NewHandler.Section = section
  NoError "open " & path & " [" & section & "]"
End Function

' The file's text; read only while no handler holds the file open.
Function FileText(path)
  On Error Resume Next
  Dim stream
  Set stream = fso.OpenTextFile(path, 1, False, 0)
  FileText = stream.ReadAll
  stream.Close
  NoError "read " & path
End Function

Dim greek, cjk, emoji
greek = Sample("GREEK", 8)
cjk = Sample("CJK", 6)
emoji = Sample("EMOJI", 4)

' ---- EnvironGet ---------------------------------------------------------------------
Sub TestEnvironGet()
  On Error Resume Next
  Dim runtime, kind, name, value, long_value
  Set runtime = CreateObject(kRuntimeProgId)
  NoError "create " & kRuntimeProgId

  ' Literals, then script variables (passed by reference).
  value = runtime.EnvironGet(2, "VELK_TOLVEX_SET")
  Same value, "set from the test", "process variable, literal arguments"
  kind = 2
  name = "VELK_TOLVEX_SET"
  value = Empty
  value = runtime.EnvironGet(kind, name)
  Same value, "set from the test", "process variable, variable arguments"
  Same kind, 2, "kind variable unchanged"
  value = runtime.EnvironGet(2, "VELK_TOLVEX_NEVER_SET")
  Same value, "", "unset process variable"
  value = runtime.EnvironGet(2, "VELK_SAMPLE_CJK")
  Same value, cjk, "process variable beyond ASCII"

  long_value = String(40000, "v") & greek & "end"
  shell.RegWrite "HKCU\Environment\VELK_TOLVEX_LONG", long_value, "REG_SZ"
  NoError "store a long user variable"
  kind = 1
  value = runtime.EnvironGet(kind, "VELK_TOLVEX_LONG")
  Same value, long_value, "long user variable"
  shell.Run "reg delete HKCU\Environment /v VELK_TOLVEX_LONG /f", 0, True
  NoError "delete the long user variable"
  value = runtime.EnvironGet(1, "VELK_TOLVEX_LONG")
  Same value, "", "deleted user variable"

  value = runtime.EnvironGet(4, "PATH")
  RaisedError 5, kRuntimeProgId, "kind 4"
  kind = 0
  value = runtime.EnvironGet(kind, "PATH")
  RaisedError 5, kRuntimeProgId, "kind 0 in a variable"
End Sub

' ---- INI handler: values -----------------------------------------------------------
Sub TestRoundTrips(folder)
  On Error Resume Next
  Dim path, writer, reader, samples, i, value
  path = folder & "\roundtrip.ini"
  samples = Array("plain text", greek, cjk, emoji & " smile", _
                  "first line" & vbCrLf & "second line" & vbLf & "third" & vbCr, "")
  Set writer = NewHandler(path, "Samples")
  For i = 0 To 5
    writer.Key = "k" & i
    writer.Value = samples(i)
    NoError "store sample " & i
  Next
  Set reader = NewHandler(path, "Samples")
  For i = 0 To 5
    reader.Key = "k" & i
    value = Empty
    value = reader.Value
    Same value, samples(i), "sample " & i & " read by another object"
  Next
End Sub

Sub TestNumbers(folder)
  On Error Resume Next
  Dim handler, n, value
  Set handler = NewHandler(folder & "\numbers.ini", "DebuggerA")
  ' The recorder's report pattern: the counter names the next report key.
  handler.Key = "Counter"
  value = handler.Value
  Same value, "", "counter before the first report"
  n = CLng("0" & value)
  handler.Section = "DebuggerAReport"
  handler.Key = CDbl(n)
  value = handler.Key
  Same value, "0", "Key set from the double 0"
  Same TypeName(value), "String", "Key reads back as text"
  handler.Value = "report line " & n
  handler.Section = "DebuggerA"
  handler.Key = "Counter"
  handler.Value = n + 1
  NoError "store the report and the counter"
  value = handler.Value
  Same value, "1", "counter stored as a whole number"
  handler.Value = 2.5
  value = handler.Value
  Same value, "2.5", "fraction stored as its text"
  handler.Key = 12
  value = handler.Key
  Same value, "12", "Key set from an integer"
  handler.Section = "DebuggerAReport"
  handler.Key = "0"
  value = handler.Value
  Same value, "report line 0", "report found under the key's text"
End Sub

' ---- INI handler: listing keys ------------------------------------------------------
Sub TestEnumerate(folder)
  On Error Resume Next
  Dim handler, names, count, i, expected, value
  Set handler = NewHandler(folder & "\enumerate.ini", "List")
  expected = Array("", "alpha", "beta", greek)
  For i = 1 To 3
    handler.Key = expected(i)
    handler.Value = i
  Next
  NoError "store the keys to list"

  handler.EnumerateCurrentSection names, count
  NoError "EnumerateCurrentSection"
  Same count, 3, "count of names"
  Same TypeName(count), "Long", "count type"
  value = LBound(names)
  Same value, 1, "first index"
  value = UBound(names)
  Same value, 3, "last index"
  For i = 1 To 3
    value = Empty
    value = names(i)
    Same value, expected(i), "name " & i
  Next

  ' The same variables again, for a section with no keys.
  handler.Section = "Nothing here"
  handler.EnumerateCurrentSection names, count
  NoError "EnumerateCurrentSection of an empty section"
  Same count, 0, "count of an empty section"
  value = UBound(names)
  Same value, 0, "no names in an empty section"
End Sub

' ---- INI handler: bad input ---------------------------------------------------------
Sub TestErrors(folder)
  On Error Resume Next
  Dim handler, path, before, after, value, other
  path = folder & "\guarded.ini"
  Set handler = NewHandler(path, "S")
  handler.Key = "kept"
  handler.Value = "old value"
  NoError "store the value to keep"
  Set handler = Nothing
  before = FileText(path)
  Set handler = NewHandler(path, "S")
  handler.Key = "kept"
  NoError "choose the kept key"

  handler.Path = ""
  RaisedError 52, kIniProgId, "empty Path"
  handler.Section = ""
  RaisedError 5, kIniProgId, "empty Section"
  handler.Value = Null
  RaisedError 94, kIniProgId, "Null value"
  handler.Value = handler
  RaisedError 13, kIniProgId, "object as value"
  value = handler.Value
  Same value, "old value", "value after rejected values"
  Set handler = Nothing
  after = FileText(path)
  Same after, before, "file after rejected values"

  Set other = NewHandler(folder & "\no such folder\x.ini", "S")
  other.Key = "k"
  NoError "choose a key in a missing folder"
  other.Value = "v"
  RaisedError 76, kIniProgId, "missing folder"
  value = other.Value
  Same value, "", "nothing readable in a missing folder"
  If fso.FolderExists(folder & "\no such folder") Then Fail "the missing folder was created"

  fso.GetFile(path).Attributes = 1
  NoError "make the file read-only"
  Set other = NewHandler(path, "S")
  other.Key = "kept"
  NoError "choose a key in the read-only file"
  other.Value = "new value"
  RaisedError 70, kIniProgId, "read-only file"
  other.Key = "added"
  NoError "choose a new key in the read-only file"
  other.Value = "new value"
  RaisedError 70, kIniProgId, "new key in a read-only file"
  Set other = Nothing
  after = FileText(path)
  Same after, before, "read-only file after the failed stores"
  fso.GetFile(path).Attributes = 0
  NoError "make the file writable again"
End Sub

Dim folder
folder = fso.GetSpecialFolder(2) & "\velk-tolvex-vbs-" & fso.GetTempName()
fso.CreateFolder folder
NoError "create " & folder

TestEnvironGet
NoError "EnvironGet tests"
TestRoundTrips folder
NoError "round-trip tests"
TestNumbers folder
NoError "number tests"
TestEnumerate folder
NoError "enumeration tests"
TestErrors folder
NoError "error tests"

fso.DeleteFolder folder, True
Err.Clear
If failures = 0 Then WScript.Echo "all checks passed"
WScript.Quit failures
