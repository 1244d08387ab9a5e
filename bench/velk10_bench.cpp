// Accepted messages per second through the registered velk10.dll from a late-bound
// client: IDispatch::Invoke of AddDebugMessage with the DISPID resolved once and the
// arguments as a script passes them (variables by reference as VT_BYREF|VT_VARIANT,
// literals by value), every message accepted, with 100,000 entries already in the
// report file. First with all three sinks on, then each sink alone and none.
//
//   velk10_bench [messages]            measure (tolvex10, tolvex11, velk10 registered)
//   velk10_bench --prepare <folder>    only write the settings (all sinks on) and a
//                                      report file of 100,000 entries in <folder>
//   velk10_bench --clean               remove the settings and the registry message log
//
// The bench replaces the prefix's Kestrelon settings and its registry message log.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "winkit/handles.h"

namespace {

using winkit::Bstr;
using winkit::ComPtr;

constexpr long kExisting = 100000;
constexpr int kWarmUp = 10;
const wchar_t kKestrelon[] = L"Software\\VB and VBA Program Settings\\Kestrelon";
const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerA";

double Seconds() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

[[noreturn]] void Die(const char* what, long code) {
  std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(code));
  std::exit(2);
}

void Store(const wchar_t* key, const wchar_t* text) {
  LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, kSection, key, REG_SZ, text,
                                   static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) Die("writing a setting", status);
}

// Level 1 and kind dll accepted; the sinks as given.
void Settings(bool shell, bool window, bool registry) {
  Store(L"DebuggerAEnabledLevel", L"1");
  Store(L"DebuggerAEnabledDLL", L"1");
  Store(L"DebuggerShell", shell ? L"1" : L"0");
  Store(L"DebuggerWindow", window ? L"1" : L"0");
  Store(L"DebuggerRegistry", registry ? L"1" : L"0");
}

// A report file of `entries` lines as the DLL writes them: UTF-16LE with its mark.
void WriteReport(const std::wstring& path, long entries) {
  std::wstring text = L"\xFEFF[DebuggerA]\r\nCounter=" + std::to_wstring(entries) + L"\r\n[DebuggerAReport]\r\n";
  text.reserve(text.size() + static_cast<size_t>(entries) * 96);
  for (long i = 0; i < entries; ++i) {
    text += std::to_wstring(i);
    text += L'=';
    text += std::to_wstring(i + 1);
    text += L". (dll)  > APPOBJNOTHING > modEarlier > earlier message ";
    text += std::to_wstring(i);
    text += L" > - > 12/8/2026 3:45:10 AM\r\n";
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Die("creating the report file", static_cast<long>(GetLastError()));
  DWORD written = 0;
  const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  const BOOL ok = WriteFile(file, text.data(), bytes, &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes) Die("writing the report file", static_cast<long>(GetLastError()));
}

void Prepare(const std::wstring& folder) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteReport(folder + L"\\velkbug.ini", kExisting);
  Settings(true, true, true);
}

long ReportCounter(const std::wstring& folder) {
  wchar_t buffer[64] = {};
  GetPrivateProfileStringW(L"DebuggerA", L"Counter", L"-1", buffer, 64, (folder + L"\\velkbug.ini").c_str());
  return std::wcstol(buffer, nullptr, 10);
}

// A debugger object called as a script calls it: the DISPID resolved once; the message,
// name, extra and co-extra are the script's variables, the kind and level literals.
class ScriptLikeClient {
 public:
  ScriptLikeClient() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"VELK10.clsVELKDebuggerA", &clsid);
    if (FAILED(hr)) Die("CLSIDFromProgID (is velk10.dll registered?)", hr);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object_.put_void());
    if (FAILED(hr)) Die("creating VELK10.clsVELKDebuggerA", hr);
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"AddDebugMessage")};
    hr = object_->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &add_);
    if (FAILED(hr)) Die("GetIDsOfNames(AddDebugMessage)", hr);
  }

  void Add(long i) {
    VARIANT message, name, extra, co_extra, args[6], result;
    V_VT(&message) = VT_BSTR;
    V_BSTR(&message) = SysAllocString((L"bench message " + std::to_wstring(i)).c_str());
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = kind_name_.get();
    VariantInit(&extra);  // receives "-"
    V_VT(&co_extra) = VT_BSTR;
    V_BSTR(&co_extra) = co_.get();
    // rgvarg holds the last argument first.
    args[5] = ByRef(&message);
    V_VT(&args[4]) = VT_BSTR;
    V_BSTR(&args[4]) = dll_.get();
    args[3] = ByRef(&name);
    V_VT(&args[2]) = VT_I2;
    V_I2(&args[2]) = 1;
    args[1] = ByRef(&extra);
    args[0] = ByRef(&co_extra);
    DISPPARAMS params{args, nullptr, 6, 0};
    VariantInit(&result);
    HRESULT hr = object_->Invoke(add_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
                                 nullptr);
    if (FAILED(hr)) Die("AddDebugMessage", hr);
    if (V_VT(&extra) != VT_BSTR) Die("vExtra write-back", V_VT(&extra));
    VariantClear(&message);
    VariantClear(&extra);
    VariantClear(&result);
  }

 private:
  static VARIANT ByRef(VARIANT* variable) {
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = variable;
    return v;
  }
  ComPtr<IDispatch> object_;
  DISPID add_ = DISPID_UNKNOWN;
  Bstr dll_{L"dll"}, kind_name_{L"modBench"}, co_{L"bench co-extra"};
};

double Rate(ScriptLikeClient& client, long messages) {
  const double start = Seconds();
  for (long i = 0; i < messages; ++i) client.Add(i);
  return messages / (Seconds() - start);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--prepare") {
    Prepare(argv[2]);
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"--clean") {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
    return 0;
  }
  const long messages = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 3000;
  if (messages <= 0) {
    std::fprintf(stderr, "usage: velk10_bench [messages] | --prepare <folder> | --clean\n");
    return 2;
  }

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"velk10-bench";
  SetEnvironmentVariableW(L"QVSUPPORT", folder.c_str());
  double start = Seconds();
  Prepare(folder);
  std::printf("report file of %ld entries written in %.2f s\n", kExisting, Seconds() - start);

  winkit::ComScope com;
  if (FAILED(com.result())) Die("CoInitializeEx", com.result());

  // All three sinks; creation also opens the report viewer.
  start = Seconds();
  ScriptLikeClient client;
  std::printf("creation (opens the report viewer): %.2f s\n", Seconds() - start);
  start = Seconds();
  for (long i = 0; i < kWarmUp; ++i) client.Add(i);
  std::printf("first %d messages (the handler takes the file over): %.2f s\n", kWarmUp, Seconds() - start);
  const double all = Rate(client, messages);
  const long counter = ReportCounter(folder);
  if (counter != kExisting + kWarmUp + messages) {
    std::fprintf(stderr, "report file counter %ld, expected %ld\n", counter, kExisting + kWarmUp + messages);
    return 1;
  }
  std::printf("late-bound C++, all three sinks, %ld messages: %.0f messages/s\n", messages, all);

  // Each sink alone, and none; the switches load when an object is created.
  const struct {
    const char* what;
    bool shell, window, registry;
  } alone[] = {
      {"report file only", true, false, false},
      {"live window only", false, true, false},
      {"registry log only", false, false, true},
      {"no sink", false, false, false},
  };
  for (const auto& sinks : alone) {
    Settings(sinks.shell, sinks.window, sinks.registry);
    ScriptLikeClient other;
    for (long i = 0; i < kWarmUp; ++i) other.Add(i);
    std::printf("  %-18s %8.0f messages/s\n", sinks.what, Rate(other, messages));
  }

  RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
  return 0;
}
