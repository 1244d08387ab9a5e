#pragma once
// The report viewer's Find: the platform's modeless Find dialog with its text and
// options, F3 and Shift+F3, and the box that says nothing matched. The dialog takes its
// keys (Tab, Enter, Escape) through the form helpers' key preview, whichever loop runs the
// thread's messages. After a find it moves aside when it covers the row found, above or
// below it, whichever is nearer and fits on the screen.
#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <optional>

#include "viewer/report_list.h"
#include "windows/form_support.h"

namespace windows {

class FindController : private KeyPreview {
 public:
  // Looks for `what` from the focused row on and selects the row it finds: that row's
  // rectangle on the screen, or none when no row matches.
  using Search = std::function<std::optional<RECT>(TextView what, const viewer::FindOptions& options)>;

  // `title`: the title of the box that says nothing matched.
  FindController(const wchar_t* title, Search search) : title_(title), search_(std::move(search)) {}
  ~FindController() override { Close(); }
  FindController(const FindController&) = delete;
  FindController& operator=(const FindController&) = delete;

  // Shows the dialog owned by `owner`, or brings the open one forward.
  void Open(HWND owner);
  // F3 (down) and Shift+F3: the next match of the dialog's text; the dialog when there is
  // no text yet.
  void Next(HWND owner, bool down);
  // The message by which the dialog talks to its owner (FINDMSGSTRING), and one of them:
  // true when it was the dialog's, now handled.
  static UINT Message();
  bool OwnerMessage(HWND owner, UINT message, LPARAM lparam);
  // The owner goes, and the dialog with it.
  void Close();
  HWND dialog() const { return dialog_; }

 private:
  bool PreviewMessage(MSG& message) override;
  void Find(HWND owner, bool down);
  void MoveAside(const RECT& found);

  const wchar_t* title_;
  Search search_;
  // The dialog keeps pointers to these as long as it is open.
  FINDREPLACEW find_{};
  wchar_t text_[256] = {};
  HWND dialog_ = nullptr;
};

}  // namespace windows
