#include "windows/find_controller.h"

#include <cstdlib>
#include <string>

#include "winkit/wide_text.h"

namespace windows {

UINT FindController::Message() {
  static const UINT message = RegisterWindowMessageW(FINDMSGSTRINGW);
  return message;
}

void FindController::Open(HWND owner) {
  if (dialog_) {
    SetFocus(dialog_);
    return;
  }
  find_.lStructSize = sizeof find_;
  find_.hwndOwner = owner;
  find_.lpstrFindWhat = text_;
  find_.wFindWhatLen = static_cast<WORD>(std::size(text_));
  if (!find_.Flags) find_.Flags = FR_DOWN;  // the options of the last search stay
  find_.Flags &= FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD;
  dialog_ = FindTextW(&find_);
  if (!dialog_) RaiseLastWindowError(u"Cannot open the Find dialog");
  AddKeyPreview(this);
}

void FindController::Close() {
  if (!dialog_) return;
  RemoveKeyPreview(this);
  if (IsWindow(dialog_)) DestroyWindow(dialog_);
  dialog_ = nullptr;
}

bool FindController::PreviewMessage(MSG& message) {
  // The dialog's own keys, whoever runs the loop: the client's loop knows nothing of it.
  return dialog_ && message.hwnd && (message.hwnd == dialog_ || IsChild(dialog_, message.hwnd)) &&
         IsDialogMessageW(dialog_, &message);
}

bool FindController::OwnerMessage(HWND owner, UINT message, LPARAM lparam) {
  if (!lparam || message != Message()) return false;
  const auto& find = *reinterpret_cast<const FINDREPLACEW*>(lparam);
  if (find.Flags & FR_DIALOGTERM) {
    RemoveKeyPreview(this);
    dialog_ = nullptr;
  } else if (find.Flags & FR_FINDNEXT) {
    Next(owner, find.Flags & FR_DOWN);
  }
  return true;
}

void FindController::Next(HWND owner, bool down) {
  if (!text_[0]) {
    Open(owner);
    return;
  }
  Find(owner, down);
}

void FindController::Find(HWND owner, bool down) {
  viewer::FindOptions options;
  options.match_case = find_.Flags & FR_MATCHCASE;
  options.whole_word = find_.Flags & FR_WHOLEWORD;
  options.down = down;
  const std::optional<RECT> found = search_(winkit::TextOf(text_), options);
  if (!found) {
    const std::wstring text = L"Cannot find \"" + std::wstring(text_) + L"\".";
    MessageBoxW(dialog_ ? dialog_ : owner, text.c_str(), title_, MB_OK | MB_ICONINFORMATION);
    return;
  }
  MoveAside(*found);
}

void FindController::MoveAside(const RECT& found) {
  RECT dialog, overlap;
  if (!dialog_ || !GetWindowRect(dialog_, &dialog) || !IntersectRect(&overlap, &dialog, &found)) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromRect(&found, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  const LONG height = dialog.bottom - dialog.top;
  const LONG above = found.top - height, below = found.bottom;
  const bool above_fits = above >= work.top, below_fits = below + height <= work.bottom;
  if (!above_fits && !below_fits) return;  // no room beside the row: it stays where it is
  LONG top;
  if (above_fits && below_fits)
    top = std::labs(above - dialog.top) <= std::labs(below - dialog.top) ? above : below;
  else
    top = above_fits ? above : below;
  SetWindowPos(dialog_, nullptr, dialog.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace windows
