#include "viewer/win32/form_support.h"

#include <algorithm>
#include <vector>

#include "common/automation_error.h"
#include "viewer/win32/live_message_window.h"

namespace viewer {

namespace {

thread_local std::vector<KeyPreview*> previews;

bool Previewed(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  // The latest registered window first: it is the one on top of the others. A copy,
  // since a preview may close its window.
  std::vector<KeyPreview*> now = previews;
  for (auto it = now.rbegin(); it != now.rend(); ++it)
    if ((*it)->PreviewMessage(message)) return true;
  return false;
}

}  // namespace

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

bool RegisterFormClass(const wchar_t* name, WNDPROC procedure, bool with_icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = ThisModule();
  if (with_icon) wc.hIcon = wc.hIconSm = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void RaiseLastWindowError(const char16_t* what) {
  DWORD code = GetLastError();
  throw common::AutomationError::FromResult(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_WINDOW_HANDLE), what);
}

HFONT FormFont(bool bold) {
  static HFONT fonts[2] = {};
  HFONT& font = fonts[bold ? 1 : 0];
  if (!font) {
    // 8.25 points: 825/7200 of an inch.
    int height = -MulDiv(825, TwipsToPixelsY(1440), 7200);
    font = CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       L"MS Sans Serif");
    if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return font;
}

void AddKeyPreview(KeyPreview* preview) { previews.push_back(preview); }

void RemoveKeyPreview(KeyPreview* preview) { std::erase(previews, preview); }

void WakeModalLoop() { PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0); }

void RunModalLoop(HWND window) {
  MSG message;
  while (IsWindow(window) && IsWindowVisible(window)) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (Previewed(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace viewer
