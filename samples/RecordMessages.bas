Attribute VB_Name = "RecordMessages"
' RecordMessages: records a few debug messages with velk10 from an Office macro and opens
' the report viewer. Works in 32-bit and 64-bit Office alike (no Declare), as long as the
' velk10 of Office's bitness is registered (register.cmd registers both).
'
' Import it in the VBA editor (Alt+F11, File > Import File...), then run
' RecordDebugMessages (Alt+F8 in Excel). No reference needs to be set: the debugger is
' created by name.
Option Explicit

Private Const APP_NAME As String = "Kestrelon\Debugger"
Private Const SECTION As String = "DebuggerA"

Public Sub RecordDebugMessages()
    ' The report file velkbug.ini goes to the folder that the environment variable
    ' QVSUPPORT names; the folder must exist. Office reads its environment when it starts.
    If Environ("QVSUPPORT") = "" Then
        MsgBox "QVSUPPORT is not set: it names the folder for the report file velkbug.ini." & vbCrLf & _
               "Set it for your account, then start Office again.", vbExclamation, "RecordMessages"
        Exit Sub
    End If
    Debug.Print "Report file: " & Environ("QVSUPPORT") & "\velkbug.ini"

    ' Set up (what the options dialog does, by hand): the report file on, the live
    ' window off (with it on, the viewer opens by itself and ShowDebuggerWindow below
    ' would fail), the registry log off; messages of level 1 and of every kind are
    ' recorded. SaveSetting writes to the registry place the debugger reads. The
    ' switches are read when the debugger object is created, so they come first.
    SaveSetting APP_NAME, SECTION, "DebuggerShell", "1"
    SaveSetting APP_NAME, SECTION, "DebuggerWindow", "0"
    SaveSetting APP_NAME, SECTION, "DebuggerRegistry", "0"
    SaveSetting APP_NAME, SECTION, "DebuggerAEnabledLevel", "1"
    SaveSetting APP_NAME, SECTION, "DebuggerAEnabledDLL", "1"
    SaveSetting APP_NAME, SECTION, "DebuggerAEnabledEXE", "1"
    SaveSetting APP_NAME, SECTION, "DebuggerAEnabledOCX", "1"

    ' Office's Application object lacks the properties the debugger reads from an
    ' application object (ProductName, Title, Major, Minor), so none is handed over
    ' (AppObj): the messages name APPOBJNOTHING instead.
    Dim debugger As Object
    Set debugger = CreateObject("VELK10.clsVELKDebuggerA")

    ' AddDebugMessage message, kind ("dll", "ocx" or "exe"), name, level, extra, co-extra
    debugger.AddDebugMessage "Script started", "exe", "record_messages", 1, "", ""
    debugger.AddDebugMessage "Customer loaded", "dll", "modCustomers", 1, "id 4711", ""
    debugger.AddDebugMessage "Invoice saved", "dll", "modInvoices", 1, "2 pages", "printed"
    ' The level must equal the configured one: this message of level 2 is not recorded.
    debugger.AddDebugMessage "Details nobody asked for", "dll", "modInvoices", 2, "", ""

    ' The report viewer lists the report file; the call returns when you close it.
    debugger.ShowDebuggerWindow
End Sub
