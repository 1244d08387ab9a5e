' record_messages.vbs: records a few debug messages with velk10 and opens the report viewer.
'
' Run it with the script host of the bitness you registered (both, after register.cmd on
' 64-bit Windows):
'   cscript //nologo record_messages.vbs                          (64-bit on 64-bit Windows)
'   %windir%\SysWOW64\cscript.exe //nologo record_messages.vbs    (32-bit)
Option Explicit

Const SETTINGS = "HKCU\Software\VB and VBA Program Settings\Kestrelon\Debugger\DebuggerA\"

Dim shell : Set shell = CreateObject("WScript.Shell")

' The report file velkbug.ini goes to the folder that the environment variable QVSUPPORT
' names; the folder must exist.
Dim folder : folder = shell.Environment("Process")("QVSUPPORT")
If folder = "" Then
  WScript.Echo "QVSUPPORT is not set: it names the folder for the report file velkbug.ini." & vbCrLf & _
               "Set it first, for example in this command window: set QVSUPPORT=%TEMP%"
  WScript.Quit 1
End If
WScript.Echo "Report file: " & folder & "\velkbug.ini"

' Set up (what the options dialog does, by hand): the report file on, the live window
' off (with it on, the viewer opens by itself and ShowDebuggerWindow below would fail),
' the registry log off; messages of level 1 and of every kind are recorded. The switches
' are read when the debugger object is created, so they come first.
shell.RegWrite SETTINGS & "DebuggerShell", "1", "REG_SZ"
shell.RegWrite SETTINGS & "DebuggerWindow", "0", "REG_SZ"
shell.RegWrite SETTINGS & "DebuggerRegistry", "0", "REG_SZ"
shell.RegWrite SETTINGS & "DebuggerAEnabledLevel", "1", "REG_SZ"
shell.RegWrite SETTINGS & "DebuggerAEnabledDLL", "1", "REG_SZ"
shell.RegWrite SETTINGS & "DebuggerAEnabledEXE", "1", "REG_SZ"
shell.RegWrite SETTINGS & "DebuggerAEnabledOCX", "1", "REG_SZ"

' A script has no application object to hand over (AppObj): its messages name
' APPOBJNOTHING where a program's name and version would stand.
Dim debugger : Set debugger = CreateObject("VELK10.clsVELKDebuggerA")

' AddDebugMessage message, kind ("dll", "ocx" or "exe"), name, level, extra, co-extra
debugger.AddDebugMessage "Script started", "exe", "record_messages", 1, "", ""
debugger.AddDebugMessage "Customer loaded", "dll", "modCustomers", 1, "id 4711", ""
debugger.AddDebugMessage "Invoice saved", "dll", "modInvoices", 1, "2 pages", "printed"
' The level must equal the configured one: this message of level 2 is not recorded.
debugger.AddDebugMessage "Details nobody asked for", "dll", "modInvoices", 2, "", ""

' The report viewer lists the report file; the call returns when you close it.
debugger.ShowDebuggerWindow
