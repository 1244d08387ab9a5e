#include "windows/live_message_window.h"

#include <commctrl.h>

#include "winkit/module.h"
#include "winkit/wide_text.h"

namespace windows {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;
constexpr int kTextBoxId = 1;
// The text box takes a new line at most this often while lines come in a burst; the
// latest line of a burst follows at the next look at the box (see SetText).
constexpr DWORD kUpdateIntervalMilliseconds = 40;
constexpr UINT kShowPendingLine = WM_APP + 1;

}  // namespace

LiveMessageWindowWin32::~LiveMessageWindowWin32() {
  has_pending_ = false;
  DestroyUnheard(window_);
}

LRESULT LiveMessageWindowWin32::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:  // the read-only text box keeps an ordinary white ground
      SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case kShowPendingLine:
      update_posted_ = false;
      ShowPendingLine();
      return 0;
    case WM_DESTROY:
      window_ = text_box_ = nullptr;
      has_pending_ = update_posted_ = false;
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Whatever looks at the text box (a paint, a text query, the user's mouse or keys) first
// gets the latest line. The line's own WM_SETTEXT passes: the line is no longer pending.
LRESULT CALLBACK LiveMessageWindowWin32::TextBoxLooks(HWND box, UINT message, WPARAM wparam, LPARAM lparam,
                                                      UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<LiveMessageWindowWin32*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(box, &TextBoxLooks, id);
  } else if (self->has_pending_ && message != WM_DESTROY) {
    self->ShowPendingLine();
  }
  return DefSubclassProc(box, message, wparam, lparam);
}

void LiveMessageWindowWin32::Load() {
  updated_ = false;  // a new window takes its first line at once
  if (!RegisterFormClass(kLiveWindowClass, false)) RaiseLastWindowError(u"Cannot register the live message window");
  RECT frame{0, 0, TwipsToPixelsX(kLiveWindowWidthTwips), TwipsToPixelsY(kLiveWindowHeightTwips)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  HWND window =
      CreateFormWindow(kExStyle, kLiveWindowClass, L"", kStyle, 0, 0, frame.right - frame.left, frame.bottom - frame.top);
  if (!window) RaiseLastWindowError(u"Cannot create the live message window");
  window_ = window;
  // At the screen's top-left corner, keeping the size; the text box fills the client area.
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window, &client);
  text_box_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL, 0, 0,
                              client.right, client.bottom, window, reinterpret_cast<HMENU>(kTextBoxId), winkit::ThisModule(),
                              nullptr);
  if (!text_box_) {
    DestroyWindow(window);
    RaiseLastWindowError(u"Cannot create the live message text box");
  }
  SendMessageW(text_box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  SetWindowSubclass(text_box_, &TextBoxLooks, kTextBoxId, reinterpret_cast<DWORD_PTR>(this));
}

void LiveMessageWindowWin32::Show() {
  if (!window_ || !IsWindow(window_)) Load();
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNORMAL);
}

// Putting a line into the text box costs the platform's edit control most of a
// millisecond (it lays the text out), far more than the rest of a message. So the box
// takes a line at once when the last one is older than the update interval, and paints
// it at once, since a busy client (a script host) may not run its message loop for a
// while. A line that comes sooner waits as the pending line: it goes into the box at
// the next line after the interval, when the client's message loop runs (a posted
// reminder), or as soon as anything looks at the box. Either way the box shows the
// latest line to whoever reads it.
void LiveMessageWindowWin32::SetText(common::TextView text) {
  if (!text_box_) return;
  pending_.assign(winkit::Wide(text), text.size());
  has_pending_ = true;
  if (!updated_ || GetTickCount() - last_update_ >= kUpdateIntervalMilliseconds) {
    ShowPendingLine();
  } else if (!update_posted_) {
    update_posted_ = PostMessageW(window_, kShowPendingLine, 0, 0) != FALSE;
  }
}

void LiveMessageWindowWin32::ShowPendingLine() {
  if (!has_pending_ || !text_box_) return;
  has_pending_ = false;
  SendMessageW(text_box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pending_.c_str()));
  RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  updated_ = true;
  last_update_ = GetTickCount();
}

}  // namespace windows
