// Entry point of the type library test programs: <program> [gtest options] <file>.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "com_test_util.h"

namespace velk_com_test {
namespace {
std::wstring test_file;
}
const std::wstring& TestFile() { return test_file; }
}  // namespace velk_com_test

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %ls [gtest options] <type library or DLL>\n", argv[0]);
    return 2;
  }
  // A Unix path (/...) resolves on Wine's drive of the current directory.
  wchar_t full[MAX_PATH];
  DWORD length = GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) {
    std::fprintf(stderr, "cannot resolve %ls\n", argv[1]);
    return 2;
  }
  velk_com_test::test_file = full;
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = RUN_ALL_TESTS();
  if (SUCCEEDED(hr)) CoUninitialize();
  return status;
}
