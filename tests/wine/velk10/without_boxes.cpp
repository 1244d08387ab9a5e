// without_boxes <command line>: runs the command (a script host, a client program) and
// waits for it. A dialog box the command's process shows (an error box it should not
// have shown) is printed with its title and text and answered with its default button,
// so that the command runs on instead of waiting for a user; the search looks at that
// process's windows only, never at those of other programs in the same prefix.
// Exit status: the command's, or 1 when it ended with 0 but showed a box.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "tests/wine/process_window.h"

namespace {

struct Search {
  DWORD process;
  std::set<HWND>* answered;
};

std::string Narrow(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  return out;
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t window_class[16] = {};
  GetClassNameW(window, window_class, 16);
  if (process != search->process || wcscmp(window_class, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (search->answered->insert(window).second) {
    Sleep(100);  // let the box finish its layout
    wchar_t title[256] = {}, text[1024] = {};
    GetWindowTextW(window, title, 256);
    GetDlgItemTextW(window, 0xFFFF, text, 1024);  // a message box's text
    std::printf("box \"%s\": %s\n", Narrow(title).c_str(), Narrow(text).c_str());
    std::fflush(stdout);
  }
  LRESULT default_id = SendMessageW(window, DM_GETDEFID, 0, 0);
  WORD button = HIWORD(default_id) == DC_HASDEFID ? LOWORD(default_id) : IDOK;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

int wmain() {
  PROCESS_INFORMATION child{};
  if (!wine_test::StartCommandFromOwnLine(&child)) {
    std::fprintf(stderr, "usage: without_boxes <command line>; cannot run it (error %lu)\n", GetLastError());
    return 2;
  }
  CloseHandle(child.hThread);
  std::set<HWND> answered;
  Search search{child.dwProcessId, &answered};
  while (WaitForSingleObject(child.hProcess, 100) == WAIT_TIMEOUT) EnumWindows(&AnswerBox, reinterpret_cast<LPARAM>(&search));
  DWORD status = 1;
  GetExitCodeProcess(child.hProcess, &status);
  CloseHandle(child.hProcess);
  if (status == 0 && !answered.empty()) status = 1;
  return static_cast<int>(status);
}
