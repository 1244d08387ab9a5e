// The test program, and the writer child that the process tests start:
//   ini_win32_tests --writer <path> <report|keys:SECTION|rebuilds:FIRST> <count, -1 = until killed> <progress>
// The child stores one change after the other and, after each, writes the number of the
// last completed one into the shared-memory block named <progress>. "rebuilds" stores
// keys FIRST, FIRST+1, ... in the sections A and B by turns: each moves its section to
// the end of the file, a whole-file rebuild.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/automation_error.h"
#include "tolvex/ini/win32_ini_storage.h"
#include "win32_test_util.h"

namespace {

using namespace tolvex::wintest;

int RunWriter(const std::wstring& path, const std::wstring& mode, long count, const std::wstring& progress_name) {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, progress_name.c_str());
  auto* progress = mapping ? static_cast<volatile LONG*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 8)) : nullptr;
  try {
    tolvex::IniHandler h(tolvex::Win32IniStorageProvider::Instance());
    h.SetPath(FromW(path));
    for (long i = 0; count < 0 || i < count; ++i) {
      long done;
      if (mode == L"report") {
        done = static_cast<long>(Report(h));
      } else if (mode.rfind(L"rebuilds:", 0) == 0) {
        const long key = std::stol(mode.substr(9)) + i;
        h.SetSection(key % 2 ? u"A" : u"B");
        h.SetKey(common::IntegerText(key));
        h.SetValue(ReportMessage(key));
        done = key;
      } else {
        h.SetSection(FromW(mode.substr(5)));
        h.SetKey(common::IntegerText(i));
        h.SetValue(ReportMessage(i));
        h.SetKey(u"Last");
        h.SetValue(common::IntegerText(i));
        done = i;
      }
      if (progress) InterlockedExchange(progress, done);
    }
  } catch (const common::AutomationError& e) {
    fprintf(stderr, "writer failed: %d %s\n", e.number(), e.what());
    return 2;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 6 && std::wstring(argv[1]) == L"--writer")
    return RunWriter(argv[2], argv[3], std::stol(argv[4]), argv[5]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
