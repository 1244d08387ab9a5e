' A client of the debugger: hands over its application object and records messages.
Option Explicit

Class DemoApplication
  Public ProductName
  Public Title
  Public Major
  Public Minor
End Class

Dim app : Set app = New DemoApplication
app.ProductName = "Ledger"
app.Title = "Ledger Desk"
app.Major = 3
app.Minor = 2

Dim debugger : Set debugger = CreateObject("VELK10.clsVELKDebuggerA")
Set debugger.AppObj = app

Dim extra
extra = ""
debugger.AddDebugMessage "OpenStore", "dll", "modStore", 1, extra, "store opened"
WScript.Echo "vExtra after the first message: """ & extra & """"
debugger.AddDebugMessage "LoadCustomers", "DLL", "modCustomers", 1, 1042, ""
debugger.AddDebugMessage "not recorded: level 2", "dll", "modStore", 2
debugger.AddDebugMessage "not recorded: ocx is switched off", "ocx", "ctlGrid", 1
Set debugger.AppObj = Nothing
debugger.AddDebugMessage "SaveInvoice", "exe", "frmInvoice", 1, "invoice 17", "saved"
