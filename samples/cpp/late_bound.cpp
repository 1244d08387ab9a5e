// late_bound.cpp: records a few debug messages with velk10 and opens the report viewer,
// calling the debugger by member name through IDispatch, as scripts do. Needs nothing
// of velk10 at build time.
//
//   MinGW:      g++ -municode -static late_bound.cpp -lole32 -loleaut32 -luuid -o late_bound.exe
//   Visual C++: cl /EHsc late_bound.cpp ole32.lib oleaut32.lib uuid.lib advapi32.lib
//
// Build it for the bitness of the velk10 you registered (register.cmd registers both).
#include <windows.h>
#include <oleauto.h>

#include <cwchar>

namespace {

const wchar_t kSettings[] = L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerA";

void Store(const wchar_t* key, const wchar_t* text) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, key, REG_SZ, text,
                  static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

VARIANT Text(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text);
  return v;
}

VARIANT Short(short number) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I2;
  V_I2(&v) = number;
  return v;
}

// Calls the method `name` with `count` arguments, given first to last.
HRESULT Call(IDispatch* object, const wchar_t* name, VARIANT* args = nullptr, UINT count = 0) {
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  VARIANT reversed[6];  // IDispatch::Invoke takes the arguments last first
  for (UINT i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
  DISPPARAMS params = {reversed, nullptr, count, 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO error = {};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &error, nullptr);
  if (hr == DISP_E_EXCEPTION && error.bstrDescription)
    std::fwprintf(stderr, L"%ls: %ls\n", name, error.bstrDescription);
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrHelpFile);
  VariantClear(&result);
  return hr;
}

// AddDebugMessage message, kind ("dll", "ocx" or "exe"), name, level, extra, co-extra.
HRESULT AddDebugMessage(IDispatch* debugger, const wchar_t* message, const wchar_t* kind, const wchar_t* name,
                        short level, const wchar_t* extra, const wchar_t* co_extra) {
  VARIANT args[] = {Text(message), Text(kind), Text(name), Short(level), Text(extra), Text(co_extra)};
  HRESULT hr = Call(debugger, L"AddDebugMessage", args, 6);
  for (VARIANT& arg : args) VariantClear(&arg);
  return hr;
}

}  // namespace

int wmain() {
  // The report file velkbug.ini goes to the folder that the environment variable
  // QVSUPPORT names; the folder must exist.
  wchar_t folder[MAX_PATH];
  if (!GetEnvironmentVariableW(L"QVSUPPORT", folder, MAX_PATH)) {
    std::fwprintf(stderr, L"QVSUPPORT is not set: it names the folder for the report file velkbug.ini.\n"
                          L"Set it first, for example in this command window: set QVSUPPORT=%%TEMP%%\n");
    return 1;
  }
  std::wprintf(L"Report file: %ls\\velkbug.ini\n", folder);

  // Set up (what the options dialog does, by hand): the report file on, the live window
  // off (with it on, the viewer opens by itself and ShowDebuggerWindow below would fail),
  // the registry log off; messages of level 1 and of every kind are recorded. The
  // switches are read when the debugger object is created, so they come first.
  Store(L"DebuggerShell", L"1");
  Store(L"DebuggerWindow", L"0");
  Store(L"DebuggerRegistry", L"0");
  Store(L"DebuggerAEnabledLevel", L"1");
  Store(L"DebuggerAEnabledDLL", L"1");
  Store(L"DebuggerAEnabledEXE", L"1");
  Store(L"DebuggerAEnabledOCX", L"1");

  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  CLSID clsid;
  IDispatch* debugger = nullptr;
  HRESULT hr = CLSIDFromProgID(L"VELK10.clsVELKDebuggerA", &clsid);
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&debugger));
  if (FAILED(hr)) {
    // 0x80040154 (class not registered) or 0x800401F3 (invalid class string): velk10 of
    // this program's bitness is not registered.
    std::fwprintf(stderr, L"Cannot create VELK10.clsVELKDebuggerA: 0x%08lX\n", static_cast<unsigned long>(hr));
    IErrorInfo* info = nullptr;  // what the component said, e.g. which companion it lacks
    BSTR description = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && SUCCEEDED(info->GetDescription(&description)) && description)
      std::fwprintf(stderr, L"%ls\n", description);
    SysFreeString(description);
    if (info) info->Release();
    CoUninitialize();
    return 1;
  }

  // A program without an application object hands over none (AppObj): its messages
  // name APPOBJNOTHING where the program's name and version would stand.
  AddDebugMessage(debugger, L"Program started", L"exe", L"late_bound", 1, L"", L"");
  AddDebugMessage(debugger, L"Customer loaded", L"dll", L"modCustomers", 1, L"id 4711", L"");
  AddDebugMessage(debugger, L"Invoice saved", L"dll", L"modInvoices", 1, L"2 pages", L"printed");
  // The level must equal the configured one: this message of level 2 is not recorded.
  AddDebugMessage(debugger, L"Details nobody asked for", L"dll", L"modInvoices", 2, L"", L"");

  // The report viewer lists the report file; the call returns when you close it.
  hr = Call(debugger, L"ShowDebuggerWindow");

  debugger->Release();
  CoUninitialize();
  return SUCCEEDED(hr) ? 0 : 1;
}
