#include "viewer/win32/live_message_window.h"

#include "viewer/win32/form_support.h"

namespace viewer {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;
constexpr int kTextBoxId = 1;
constexpr DWORD kPaintIntervalMilliseconds = 40;

int ScreenDpi(int axis) {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, axis) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

int TwipsToPixelsX(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSX), 1440); }
int TwipsToPixelsY(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSY), 1440); }

LiveMessageWindowWin32::~LiveMessageWindowWin32() {
  if (window_ && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

LRESULT CALLBACK LiveMessageWindowWin32::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<LiveMessageWindowWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CTLCOLORSTATIC:  // the read-only text box keeps an ordinary white ground
      SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_DESTROY:
      if (self) self->window_ = self->text_box_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void LiveMessageWindowWin32::Load() {
  painted_ = false;  // a new window paints its first line at once
  if (!RegisterFormClass(kLiveWindowClass, &Procedure, false))
    RaiseLastWindowError(u"Cannot register the live message window");
  RECT frame{0, 0, TwipsToPixelsX(kLiveWindowWidthTwips), TwipsToPixelsY(kLiveWindowHeightTwips)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  HWND window = CreateWindowExW(kExStyle, kLiveWindowClass, L"", kStyle, 0, 0, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, ThisModule(), nullptr);
  if (!window) RaiseLastWindowError(u"Cannot create the live message window");
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_ = window;
  // At the screen's top-left corner, keeping the size; the text box fills the client area.
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window, &client);
  text_box_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL, 0, 0,
                              client.right, client.bottom, window, reinterpret_cast<HMENU>(kTextBoxId), ThisModule(),
                              nullptr);
  if (!text_box_) {
    DestroyWindow(window);
    RaiseLastWindowError(u"Cannot create the live message text box");
  }
  SendMessageW(text_box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void LiveMessageWindowWin32::Show() {
  if (!window_ || !IsWindow(window_)) Load();
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNORMAL);
}

void LiveMessageWindowWin32::SetText(common::TextView text) {
  if (!text_box_) return;
  common::Text copy(text);
  SetWindowTextW(text_box_, reinterpret_cast<const wchar_t*>(copy.c_str()));
  // A busy client (a script host) may not run its message loop for a while, and the line
  // is meant to be seen as it happens: paint now, but not more often than the eye follows,
  // so that a burst of messages costs no painting. The line left unpainted by a burst
  // shows at the client's next message loop or at the next paint.
  DWORD now = GetTickCount();
  if (!painted_ || now - last_paint_ >= kPaintIntervalMilliseconds) {
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    painted_ = true;
    last_paint_ = now;
  }
}

}  // namespace viewer
