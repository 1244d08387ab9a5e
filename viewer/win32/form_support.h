#pragma once
// What the library's forms share: the module that owns their window classes, the
// form font, and the modal loop with its key preview.
#include <windows.h>

namespace viewer {

// The module (DLL or program) this code is linked into.
HINSTANCE ThisModule();

// Registers a window class of this module (arrow cursor, button-face background, the
// application icon when `with_icon`). False when the platform refuses; a class that
// exists already counts as registered.
bool RegisterFormClass(const wchar_t* name, WNDPROC procedure, bool with_icon);

// Raises the thread's last error as an automation error described by `what`.
[[noreturn]] void RaiseLastWindowError(const char16_t* what);

// The forms' font, "MS Sans Serif" 8.25 points at the screen's resolution, regular or
// bold (weight 700). Created once per weight; never deleted.
HFONT FormFont(bool bold);

// A window that sees the thread's keyboard messages before the control with the focus,
// as long as it is registered. Only the library's own modal loops consult it.
class KeyPreview {
 public:
  virtual ~KeyPreview() = default;
  // True when the message was handled and is not to be dispatched.
  virtual bool PreviewMessage(MSG& message) = 0;
};
void AddKeyPreview(KeyPreview* preview);
void RemoveKeyPreview(KeyPreview* preview);

// Runs the thread's messages until `window` is destroyed or hidden; nothing else is
// disabled. A WM_QUIT ends the loop and is posted again for the loop outside.
// Windows wake the loop when they close by posting WM_NULL to their thread.
void RunModalLoop(HWND window);
void WakeModalLoop();

}  // namespace viewer
