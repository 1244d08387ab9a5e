// viewer_closer <command line>: runs the command (a sample that records its messages and
// shows the report viewer), waits for the viewer that the command's process shows, prints
// "rows <n>" with the number of rows its list holds and closes it, as a user would, and
// waits for the command to end. Only that process's windows count: other programs in the
// same prefix may show a report viewer of their own.
// Exit status: the command's; 1 when it showed no viewer (it ended, or 120 seconds passed).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "tests/wine/process_window.h"

int wmain() {
  PROCESS_INFORMATION child{};
  if (!wine_test::StartCommandFromOwnLine(&child)) {
    std::printf("usage: viewer_closer <command line>; cannot run it (error %lu)\n", GetLastError());
    return 2;
  }
  CloseHandle(child.hThread);
  const DWORD limit = 120000, start = GetTickCount();
  HWND viewer = nullptr;
  bool ended = false;
  while (!viewer && !ended && GetTickCount() - start < limit) {
    ended = WaitForSingleObject(child.hProcess, 100) == WAIT_OBJECT_0;
    viewer = wine_test::FindProcessWindow(child.dwProcessId, nullptr, L"Kestrelon VELK - Debugger");
    if (viewer && !IsWindowVisible(viewer)) viewer = nullptr;
  }
  int status = 0;
  if (viewer) {
    HWND list = FindWindowExW(viewer, nullptr, WC_LISTVIEWW, nullptr);
    std::printf("rows %ld\n", list ? static_cast<long>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1L);
    std::fflush(stdout);
    PostMessageW(viewer, WM_CLOSE, 0, 0);
  } else {
    std::printf(ended ? "the command ended without showing the report viewer\n"
                      : "no report viewer within 120 seconds\n");
    std::fflush(stdout);
    status = 1;
    if (!ended) TerminateProcess(child.hProcess, 1);
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD exit_code = 1;
  GetExitCodeProcess(child.hProcess, &exit_code);
  CloseHandle(child.hProcess);
  return exit_code != 0 ? static_cast<int>(exit_code) : status;
}
