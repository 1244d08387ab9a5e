// A JScript client of velk10 under cscript: an application object made in JScript (its
// properties plain values, or functions as a Visual Basic class may have them), literals
// and numbers as arguments, and AppObj = null for none. The messages go to the registry
// message log, where each line is compared with what it must say (the report file stays
// open while the script runs, and the script host can read no file another holds).
// cscript under Wine ends with 0 after a run-time error too, so the script catches its
// own errors and ends with the number of failures.
var DEBUGGER = "HKCU\\Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\";
var failures = 0;
var shell = new ActiveXObject("WScript.Shell");

function fail(what) {
  failures++;
  WScript.Echo("FAIL: " + what);
}

function same(actual, expected, what) {
  if (actual !== expected) fail(what + ": '" + actual + "', expected '" + expected + "'");
}

// A value of the settings tree; null when absent.
function read(section, key) {
  try {
    return shell.RegRead(DEBUGGER + section + "\\" + key);
  } catch (e) {
    return null;
  }
}

try {
  // The registry log alone, from its first key; level 1, every kind.
  var sections = ["DebuggerAReport", "DebuggerAReportCo"];
  for (var s = 0; s < sections.length; s++)  // reg.exe: Wine's script host deletes no keys
    shell.Run("reg delete \"" + DEBUGGER + sections[s] + "\" /f", 0, true);
  var settings = {DebuggerShell: "0", DebuggerWindow: "0", DebuggerRegistry: "1", DebuggerAEnabledLevel: "1",
                  DebuggerAEnabledDLL: "1", DebuggerAEnabledEXE: "1", DebuggerAEnabledOCX: "1"};
  for (var name in settings) shell.RegWrite(DEBUGGER + "DebuggerA\\" + name, settings[name], "REG_SZ");

  var velk = new ActiveXObject("VELK10.clsVELKDebuggerA");
  var ledger = {ProductName: "Ledger", Title: "Ledger Desk", Major: 3, Minor: 2};
  var atlas = {ProductName: function () { return "Atlas"; }, Title: "Atlas Pro", Major: 10, Minor: 10};
  // What each step assigns to AppObj (undefined: nothing), the call's arguments, and the
  // line it must log before the date (null: none) with its co-extra text.
  var steps = [
    [undefined, ["Script started", "exe", "jscript_client", 1], "1. (exe)  > APPOBJNOTHING > jscript_client > Script started > - > "],
    [ledger, ["OpenStore", "dll", "modStore", 1, "", ""], "2. (dll)  > Ledger > Ledger Desk > 3.2 > modStore > OpenStore > - > "],
    [undefined, [1042, "dll", "modCustomers", 1, 17, 3], "3. (dll)  > Ledger > Ledger Desk > 3.2 > modCustomers > 1042 > 17 > ", "3"],
    [undefined, ["not recorded", "dll", "modCustomers", 2, "level 2"], null],
    [atlas, ["Invoice saved", "ocx", "modInvoices", 1, "2 pages", "printed"], "4. (ocx)  > Atlas > Atlas Pro > 10.10 > modInvoices > Invoice saved > 2 pages > ", "printed"],
    [null, ["Closed", "dll", "modStore", 1], "5. (dll)  > APPOBJNOTHING > modStore > Closed > - > "]
  ];
  var key = "AAAA";
  for (var i = 0; i < steps.length; i++) {
    var app = steps[i][0], args = steps[i][1], line = steps[i][2], co = steps[i][3] || null;
    try {
      if (app !== undefined) {
        velk.AppObj = app;
        if (app === null) same(velk.AppObj, null, "AppObj after null");
        else same(velk.AppObj.Title, app.Title, "AppObj read back");
      }
      velk.AddDebugMessage(args[0], args[1], args[2], args[3], args[4], args[5]);
    } catch (e) {
      fail("step " + (i + 1) + ": error " + e.number + " " + e.message);
    }
    if (line === null) continue;
    key = key.substr(0, 3) + String.fromCharCode(key.charCodeAt(3) + 1);
    var logged = read("DebuggerAReport", key);
    var date = logged === null ? "" : logged.substr(line.length);
    if (logged === null || logged.substr(0, line.length) !== line || !/^\d.*\d/.test(date))
      fail("step " + (i + 1) + " logged '" + logged + "' under " + key + ", expected '" + line + "<date and time>'");
    same(read("DebuggerAReportCo", key), co, "step " + (i + 1) + ": co-extra under " + key);
  }
  same(read("DebuggerAReport", "DebuggerAKS"), key, "the last key");
} catch (e) {
  fail("error " + e.number + " " + e.message);
}
shell.Run("reg delete \"HKCU\\Software\\VB and VBA Program Settings\\Kestrelon\" /f", 0, true);  // no settings left behind
WScript.Echo(failures ? failures + " failed" : "every message logged");
WScript.Quit(failures);
