// Report-pattern throughput of the INI handler on a Win32 file (no COM in between):
// fills a file with N entries, then times further reports.
//   ini_bench.exe [entries...]     (default: 1000 100000)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tolvex/ini/ini_handler.h"
#include "tolvex/ini/win32_ini_storage.h"

namespace {

using Clock = std::chrono::steady_clock;
using common::Text;

Text Message(int64_t n) {
  return common::FromUtf8("entry " + std::to_string(n) +
                          ": debug message with some realistic content, a value of 42, a path C:\\work\\x.txt"
                          " and a little more text to reach about 150 characters");
}

void ReportOnce(tolvex::IniHandler& h) {
  h.SetSection(u"DebuggerA");
  h.SetKey(u"Counter");
  Text counter = h.Value();
  int64_t n = counter.empty() ? 0 : std::stoll(common::ToUtf8(counter));
  h.SetSection(u"DebuggerAReport");
  h.SetKey(common::IntegerText(n));
  h.SetValue(Message(n));
  h.SetSection(u"DebuggerA");
  h.SetKey(u"Counter");
  h.SetValue(common::IntegerText(n + 1));
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::stol(argv[i]));
  if (sizes.empty()) sizes = {1000, 100000};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  for (long size : sizes) {
    std::wstring path = std::wstring(temp) + L"tolvex-ini-bench-" + std::to_wstring(size) + L".ini";
    DeleteFileW(path.c_str());
    tolvex::IniHandler h(tolvex::Win32IniStorageProvider::Instance());
    h.SetPath(Text(path.begin(), path.end()));
    auto start = Clock::now();
    for (long i = 0; i < size; ++i) ReportOnce(h);
    double fill = Seconds(Clock::now() - start);

    const int kTimed = 20000;
    start = Clock::now();
    for (int i = 0; i < kTimed; ++i) ReportOnce(h);
    double timed = Seconds(Clock::now() - start);

    // A second instance opening the big file: one full parse.
    start = Clock::now();
    tolvex::IniHandler cold(tolvex::Win32IniStorageProvider::Instance());
    cold.SetPath(Text(path.begin(), path.end()));
    cold.SetSection(u"DebuggerA");
    cold.SetKey(u"Counter");
    Text counter = cold.Value();
    double open = Seconds(Clock::now() - start);

    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    std::printf("%7ld entries: fill %.0f reports/s; %d more at %.0f reports/s (%.1f us each); "
                "file %.1f MB; cold open %.0f ms; counter %s\n",
                size, size / fill, kTimed, kTimed / timed, timed / kTimed * 1e6, data.nFileSizeLow / 1e6,
                open * 1e3, common::ToUtf8(counter).c_str());
    DeleteFileW(path.c_str());
  }
  return 0;
}
