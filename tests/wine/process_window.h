#pragma once
// Finding a window as FindWindowW does, among the top-level windows of one process only.
// The tests of a prefix share one Wine server, and a FindWindowW there also finds the
// windows of every other program running in the prefix: another test's report viewer,
// message box or live window of the same class and caption. A test whose windows come
// from another program starts that program itself, and so knows its process.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace wine_test {

// Starts what follows this program's own name on its command line (a program and its
// arguments) as a process of its own, with this one's standard handles.
inline bool StartCommandFromOwnLine(PROCESS_INFORMATION* started) {
  const wchar_t* line = GetCommandLineW();
  if (*line == L'"') {
    for (++line; *line && *line != L'"'; ++line) {
    }
    if (*line) ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  if (!*line) return false;
  wchar_t* command = _wcsdup(line);  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  const BOOL ok = command && CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, started);
  free(command);
  return ok;
}

// A top-level window of `process` with this class and caption (null: any), or null.
inline HWND FindProcessWindow(DWORD process, const wchar_t* window_class, const wchar_t* caption) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, window_class, caption)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process) return window;
  }
  return nullptr;
}

// The same among this process's windows.
inline HWND FindOwnWindow(const wchar_t* window_class, const wchar_t* caption) {
  return FindProcessWindow(GetCurrentProcessId(), window_class, caption);
}

}  // namespace wine_test
