// Speed of the recorder's report pattern through tolvex10.dll's automation surface
// (late-bound IDispatch, DISPIDs resolved once), at 1k, 10k and 100k report entries
// already in the file, with WritePrivateProfileStringW doing the same pattern at 1k
// for comparison.
//
// The pattern: Path; Section "DebuggerA", Key "Counter", read Value as n;
// Section "DebuggerAReport", Key n (a double), Value = a 150-character line;
// Section "DebuggerA", Key "Counter", Value = n + 1.
//
//   tolvex_ini_bench [work folder]     (the DLL must be registered)
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "winkit/handles.h"

namespace {

using winkit::Bstr;
using winkit::ComPtr;
using winkit::Variant;

constexpr int kBatch = 2000;
constexpr double kGoalPerSecond = 10000;
constexpr double kGoalRatio = 1.5;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring ReportLine(long n) {
  std::wstring line = L"2024-05-17 10:42:07.123 DebuggerA report " + std::to_wstring(n) +
                      L": watch expression changed, old value and new value recorded here ";
  while (line.size() < 150) line += L'.';
  line.resize(150);
  return line;
}

[[noreturn]] void Die(const char* what, HRESULT hr) {
  std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
  std::exit(2);
}

// The handler through IDispatch, members resolved once.
class Handler {
 public:
  Handler() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"TOLVEX10.clsTolvexINIFileHandler1A", &clsid);
    if (FAILED(hr)) Die("CLSIDFromProgID (is tolvex10.dll registered?)", hr);
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch_.put_void());
    if (FAILED(hr)) Die("CoCreateInstance", hr);
    path_ = Id(L"Path");
    section_ = Id(L"Section");
    key_ = Id(L"Key");
    value_ = Id(L"Value");
  }

  void Put(DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                                   nullptr, nullptr);
    if (FAILED(hr)) Die("property put", hr);
  }
  void PutText(DISPID id, const Bstr& text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    Put(id, v);
  }
  void PutNumber(DISPID id, double number) {
    VARIANT v;
    V_VT(&v) = VT_R8;
    V_R8(&v) = number;
    Put(id, v);
  }
  Variant Get(DISPID id) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant result;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.get(),
                                   nullptr, nullptr);
    if (FAILED(hr)) Die("property get", hr);
    return result;
  }

  DISPID path_, section_, key_, value_;

 private:
  DISPID Id(const wchar_t* name) {
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) Die("GetIDsOfNames", hr);
    return id;
  }

  ComPtr<IDispatch> dispatch_;
};

// One report through the COM object; returns the counter it used.
long ReportThroughHandler(Handler& h, const Bstr& path, const Bstr& debugger, const Bstr& report,
                          const Bstr& counter) {
  h.PutText(h.path_, path);
  h.PutText(h.section_, debugger);
  h.PutText(h.key_, counter);
  Variant value = h.Get(h.value_);
  long n = V_VT(value.get()) == VT_BSTR ? std::wcstol(V_BSTR(value.get()), nullptr, 10) : 0;
  h.PutText(h.section_, report);
  h.PutNumber(h.key_, static_cast<double>(n));
  h.PutText(h.value_, Bstr(ReportLine(n).c_str()));
  h.PutText(h.section_, debugger);
  h.PutText(h.key_, counter);
  h.PutNumber(h.value_, static_cast<double>(n + 1));
  return n;
}

// The same report through the Win32 profile functions.
long ReportThroughProfile(const std::wstring& path) {
  wchar_t buffer[64];
  GetPrivateProfileStringW(L"DebuggerA", L"Counter", L"0", buffer, 64, path.c_str());
  long n = std::wcstol(buffer, nullptr, 10);
  WritePrivateProfileStringW(L"DebuggerAReport", std::to_wstring(n).c_str(), ReportLine(n).c_str(), path.c_str());
  WritePrivateProfileStringW(L"DebuggerA", L"Counter", std::to_wstring(n + 1).c_str(), path.c_str());
  return n;
}

template <class Report>
double Rate(Report report, int count) {
  double start = Now();
  for (int i = 0; i < count; ++i) report();
  return count / (Now() - start);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  winkit::ComScope com;
  if (FAILED(com.result())) Die("CoInitializeEx", com.result());

  std::wstring folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"velk-ini-bench";
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring com_file = folder + L"\\report-com.ini";
  const std::wstring profile_file = folder + L"\\report-profile.ini";
  DeleteFileW(com_file.c_str());
  DeleteFileW(profile_file.c_str());

  Handler handler;
  const Bstr path(com_file.c_str()), debugger(L"DebuggerA"), report(L"DebuggerAReport"), counter(L"Counter");
  long next = 0;
  auto one_report = [&] {
    long n = ReportThroughHandler(handler, path, debugger, report, counter);
    if (n != next) {
      std::fprintf(stderr, "counter read %ld, expected %ld\n", n, next);
      std::exit(2);
    }
    ++next;
  };

  std::printf("tolvex10 report pattern, late-bound IDispatch, batches of %d:\n", kBatch);
  double first = 0, last = 0;
  for (long entries : {1000L, 10000L, 100000L}) {
    double build_start = Now();
    while (next < entries) one_report();
    double built = Now() - build_start;
    double rate = Rate(one_report, kBatch);
    std::printf("  %6ld entries: %8.0f patterns/s   (file built up in %.1f s)\n", entries, rate, built);
    std::fflush(stdout);
    if (entries == 1000) first = rate;
    last = rate;
    next = entries + kBatch;  // the batch added entries; the next size builds on from here
  }
  const double ratio = first / last;
  std::printf("  1k / 100k: %.2f\n", ratio);

  long profile_next = 0;
  while (profile_next < 1000) ReportThroughProfile(profile_file), ++profile_next;
  const int profile_batch = kBatch / 4;
  double profile_rate = Rate([&] { ReportThroughProfile(profile_file); }, profile_batch);
  std::printf("WritePrivateProfileStringW, same pattern, 1000 entries: %.0f patterns/s (batch of %d)\n", profile_rate,
              profile_batch);

  const bool met = last >= kGoalPerSecond && ratio <= kGoalRatio;
  std::printf("goal (>= %.0f/s at 100k, 1k/100k <= %.1f): %s\n", kGoalPerSecond, kGoalRatio, met ? "met" : "MISSED");
  DeleteFileW(com_file.c_str());
  DeleteFileW(profile_file.c_str());
  RemoveDirectoryW(folder.c_str());
  return met ? 0 : 1;
}
