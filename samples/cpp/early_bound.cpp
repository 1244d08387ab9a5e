// early_bound.cpp: records a few debug messages with velk10 and opens the report viewer,
// calling the debugger through its interface _clsVELKDebuggerA, declared in velk10.h.
// Build it with the package's include folder (velk10.h, and velk10_i.c for the GUIDs):
//
//   MinGW:      g++ -municode -static -I../../include early_bound.cpp ../../include/velk10_i.c
//                   -lole32 -loleaut32 -luuid -o early_bound.exe
//   Visual C++: cl /EHsc /I..\..\include early_bound.cpp ..\..\include\velk10_i.c
//                   ole32.lib oleaut32.lib uuid.lib advapi32.lib
//
// Build it for the bitness of the velk10 you registered (register.cmd registers both).
#include <windows.h>
#include <oleauto.h>

#include <cwchar>

#include "velk10.h"

namespace {

const wchar_t kSettings[] = L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerA";

void Store(const wchar_t* key, const wchar_t* text) {
  RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, key, REG_SZ, text,
                  static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

// AddDebugMessage message, kind ("dll", "ocx" or "exe"), name, level, extra, co-extra.
// Every parameter is passed by reference.
HRESULT AddDebugMessage(_clsVELKDebuggerA* debugger, const wchar_t* message, const wchar_t* kind,
                        const wchar_t* name, short level, const wchar_t* extra, const wchar_t* co_extra) {
  BSTR texts[] = {SysAllocString(message), SysAllocString(kind), SysAllocString(name)};
  VARIANT extra_value, co_extra_value, result;
  VariantInit(&extra_value);
  VariantInit(&co_extra_value);
  VariantInit(&result);
  V_VT(&extra_value) = VT_BSTR;
  V_BSTR(&extra_value) = SysAllocString(extra);  // an empty extra comes back as "-"
  V_VT(&co_extra_value) = VT_BSTR;
  V_BSTR(&co_extra_value) = SysAllocString(co_extra);
  HRESULT hr = debugger->AddDebugMessage(&texts[0], &texts[1], &texts[2], &level, &extra_value, &co_extra_value,
                                         &result);
  for (BSTR text : texts) SysFreeString(text);
  VariantClear(&extra_value);
  VariantClear(&co_extra_value);
  VariantClear(&result);
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
  _clsVELKDebuggerA* debugger = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_clsVELKDebuggerA, nullptr, CLSCTX_INPROC_SERVER, IID__clsVELKDebuggerA,
                                reinterpret_cast<void**>(&debugger));
  if (FAILED(hr)) {
    // 0x80040154 (class not registered): velk10 of this program's bitness is not registered.
    std::fwprintf(stderr, L"Cannot create clsVELKDebuggerA: 0x%08lX\n", static_cast<unsigned long>(hr));
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
  AddDebugMessage(debugger, L"Program started", L"exe", L"early_bound", 1, L"", L"");
  AddDebugMessage(debugger, L"Customer loaded", L"dll", L"modCustomers", 1, L"id 4711", L"");
  AddDebugMessage(debugger, L"Invoice saved", L"dll", L"modInvoices", 1, L"2 pages", L"printed");
  // The level must equal the configured one: this message of level 2 is not recorded.
  AddDebugMessage(debugger, L"Details nobody asked for", L"dll", L"modInvoices", 2, L"", L"");

  // The report viewer lists the report file; the call returns when you close it.
  VARIANT result;
  VariantInit(&result);
  hr = debugger->ShowDebuggerWindow(&result);
  VariantClear(&result);

  debugger->Release();
  CoUninitialize();
  return SUCCEEDED(hr) ? 0 : 1;
}
