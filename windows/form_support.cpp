#include "windows/form_support.h"

#include <algorithm>
#include <vector>

#include "common/automation_error.h"
#include "winkit/module.h"

namespace windows {

namespace {

thread_local std::vector<KeyPreview*> previews;
thread_local HHOOK preview_hook = nullptr;

bool Previewed(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  // The latest registered window first: it is the one on top of the others. A copy,
  // since a preview may close its window.
  std::vector<KeyPreview*> now = previews;
  for (auto it = now.rbegin(); it != now.rend(); ++it)
    if ((*it)->PreviewMessage(message)) return true;
  return false;
}

// Every message taken off the thread's queue passes here first: one the previews handle
// goes on as WM_NULL, which its window ignores.
LRESULT CALLBACK PreviewHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION && wparam == PM_REMOVE && Previewed(*reinterpret_cast<MSG*>(lparam)))
    reinterpret_cast<MSG*>(lparam)->message = WM_NULL;
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

int ScreenDpi(int axis) {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, axis) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int TwipsToPixelsX(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSX), 1440); }
int TwipsToPixelsY(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSY), 1440); }

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

bool Form::RegisterFormClass(const wchar_t* name, bool with_icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Procedure;
  wc.hInstance = winkit::ThisModule();
  if (with_icon) wc.hIcon = wc.hIconSm = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND Form::CreateFormWindow(DWORD ex_style, const wchar_t* form_class, const wchar_t* caption, DWORD style, int left,
                            int top, int width, int height) {
  return CreateWindowExW(ex_style, form_class, caption, style, left, top, width, height, nullptr, nullptr,
                         winkit::ThisModule(), this);
}

void Form::DestroyUnheard(HWND window) {
  if (!window || !IsWindow(window)) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

LRESULT CALLBACK Form::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);  // the last message it hears
  try {
    return form->Handle(window, message, wparam, lparam);
  } catch (...) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
}

void AddKeyPreview(KeyPreview* preview) {
  previews.push_back(preview);
  if (!preview_hook) preview_hook = SetWindowsHookExW(WH_GETMESSAGE, &PreviewHook, nullptr, GetCurrentThreadId());
}

void RemoveKeyPreview(KeyPreview* preview) {
  std::erase(previews, preview);
  if (previews.empty() && preview_hook) {
    UnhookWindowsHookEx(preview_hook);
    preview_hook = nullptr;
  }
}

void WakeModalLoopOnClose(UINT message, WPARAM wparam) {
  if (message == WM_DESTROY || (message == WM_SHOWWINDOW && !wparam))
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void RunModalLoop(HWND window) {
  MSG message;
  while (IsWindow(window) && IsWindowVisible(window)) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!preview_hook && Previewed(message)) continue;  // the hook saw it already, if there is one
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace windows
