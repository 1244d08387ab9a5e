# record_messages.ps1: records a few debug messages with velk10 and opens the report viewer.
#
# Windows PowerShell and PowerShell 7 on 64-bit Windows start 64-bit; the 32-bit one is
# %windir%\SysWOW64\WindowsPowerShell\v1.0\powershell.exe. The velk10 of that bitness must
# be registered (register.cmd registers both). Run it with
#   powershell -ExecutionPolicy Bypass -File record_messages.ps1

# The report file velkbug.ini goes to the folder that the environment variable QVSUPPORT
# names; the folder must exist.
if (-not $env:QVSUPPORT) {
    Write-Error ("QVSUPPORT is not set: it names the folder for the report file velkbug.ini.`n" +
                 'Set it first, for example: $env:QVSUPPORT = $env:TEMP')
    exit 1
}
Write-Output "Report file: $env:QVSUPPORT\velkbug.ini"

# Set up (what the options dialog does, by hand): the report file on, the live window
# off (with it on, the viewer opens by itself and ShowDebuggerWindow below would fail),
# the registry log off; messages of level 1 and of every kind are recorded. The switches
# are read when the debugger object is created, so they come first.
$settings = 'HKCU:\Software\VB and VBA Program Settings\Kestrelon\Debugger\DebuggerA'
if (-not (Test-Path $settings)) { New-Item -Path $settings -Force | Out-Null }
$values = [ordered]@{
    DebuggerShell = '1'; DebuggerWindow = '0'; DebuggerRegistry = '0'; DebuggerAEnabledLevel = '1'
    DebuggerAEnabledDLL = '1'; DebuggerAEnabledEXE = '1'; DebuggerAEnabledOCX = '1'
}
foreach ($name in $values.Keys) {
    Set-ItemProperty -Path $settings -Name $name -Value $values[$name] -Type String
}

# A script has no application object to hand over (AppObj): its messages name
# APPOBJNOTHING where a program's name and version would stand.
$debugger = New-Object -ComObject VELK10.clsVELKDebuggerA

# AddDebugMessage(message, kind ("dll", "ocx" or "exe"), name, level, extra, co-extra)
$debugger.AddDebugMessage("Script started", "exe", "record_messages", 1, "", "")
$debugger.AddDebugMessage("Customer loaded", "dll", "modCustomers", 1, "id 4711", "")
$debugger.AddDebugMessage("Invoice saved", "dll", "modInvoices", 1, "2 pages", "printed")
# The level must equal the configured one: this message of level 2 is not recorded.
$debugger.AddDebugMessage("Details nobody asked for", "dll", "modInvoices", 2, "", "")

# The report viewer lists the report file; the call returns when you close it.
$debugger.ShowDebuggerWindow()
