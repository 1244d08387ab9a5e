// viewer_closer [seconds]: waits for the report viewer that another process shows,
// prints "rows <n>" with the number of rows its list holds, and closes it, as a user
// would. Exits 1 when no viewer comes within the time (default 120 seconds).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const DWORD limit = (argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 120) * 1000;
  const DWORD start = GetTickCount();
  HWND viewer = nullptr;
  while (!(viewer = FindWindowW(nullptr, L"Kestrelon VELK - Debugger")) || !IsWindowVisible(viewer)) {
    if (GetTickCount() - start > limit) {
      std::printf("no report viewer within %lu seconds\n", static_cast<unsigned long>(limit / 1000));
      return 1;
    }
    Sleep(100);
  }
  HWND list = FindWindowExW(viewer, nullptr, WC_LISTVIEWW, nullptr);
  std::printf("rows %ld\n", list ? static_cast<long>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1L);
  std::fflush(stdout);
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  while (IsWindow(viewer) && GetTickCount() - start < limit) Sleep(100);
  return IsWindow(viewer) ? 1 : 0;
}
