#pragma once
// Driving the library's windows from a test through window messages, as a user or an
// accessibility tool would: finding windows, reading list views, pressing buttons,
// answering message boxes, and running a modal call while another thread acts.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/process_window.h"

namespace ui {

// Polls until a top-level window of this process with exactly this caption exists
// (visible or not when `visible_only` is false); null after `timeout_ms`.
HWND WaitForWindow(const std::wstring& caption, int timeout_ms = 5000, bool visible_only = true);
// Polls until `window` is gone.
bool WaitUntilGone(HWND window, int timeout_ms = 5000);
// Every top-level window of this process with this caption.
std::vector<HWND> WindowsWithCaption(const std::wstring& caption);
// The message boxes and other dialog-class windows of this process.
std::vector<HWND> DialogWindows();
// A window of the given thread with this class, or null.
HWND ThreadWindowOfClass(DWORD thread, const std::wstring& window_class);
// A visible top-level window whose title contains `part`, of a process that this one
// started (directly or through others), or null: never one of another program's.
HWND StartedProcessWindow(const std::wstring& part);
// The top-level windows of the process `process` of the given class, visible or not.
std::vector<HWND> ProcessWindows(DWORD process, const std::wstring& window_class);

std::wstring TextOf(HWND window);
// A top-level window's caption as the window manager holds it: no message to the window,
// so a window whose thread takes none (a helper window of a common dialog) costs nothing.
std::wstring CaptionOf(HWND window);
SIZE ClientSize(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);

// A report-view list: rows, cells, headers, column widths, selection.
int ItemCount(HWND list);
std::wstring ItemText(HWND list, int item, int column);
std::vector<std::wstring> Row(HWND list, int item, int columns = 9);
std::vector<std::wstring> ColumnTexts(HWND list, int column);
std::wstring HeaderText(HWND list, int column);
int ColumnWidth(HWND list, int column);
void SelectItem(HWND list, int item, bool selected);
// A mouse click on a column header of the list (through the header control).
void ClickHeader(HWND list, int column);
// A key press in `window` on the calling thread, with the given modifier keys held.
void PressKey(HWND window, WORD key, const std::vector<int>& held = {});

// A message box of this process: its text, buttons and icon, and an answer.
struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring text;
  std::vector<std::wstring> buttons;  // in creation order, "&Yes" etc.
  std::wstring default_button;
  bool has_icon = false;
};
MessageBoxInfo ReadMessageBox(HWND box);
// Presses the button with the given identifier (IDYES, IDNO, IDOK...).
void AnswerMessageBox(HWND box, int button_id);

// Runs `action` on a new thread while the calling thread makes the modal `call`; when
// `action` returns, any window still showing one of `captions` is closed so that the
// modal call always ends. Returns once both are done.
void WhileModal(const std::function<void()>& call, const std::function<void()>& action,
                const std::vector<std::wstring>& captions);

// The report viewer's filter: Ctrl+L in its list, then `text` typed into the prompt and
// Enter, or Escape when there is no text.
void FilterBy(HWND list, const std::optional<std::wstring>& text);

// Runs the calling thread's messages for a while (for windows on this thread).
void Pump(int milliseconds);

}  // namespace ui
