#pragma once
// What the library's forms share: twips geometry, the form font, the window procedure
// that hands a form's messages to its object, and the modal loop with its key preview.
#include <windows.h>

#include "common/text.h"

namespace windows {

using common::Text;
using common::TextView;

// Twips to pixels at the screen's real resolution (15 twips a pixel at 96 DPI).
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);

// Raises the thread's last error as an automation error described by `what`.
[[noreturn]] void RaiseLastWindowError(const char16_t* what);

// The forms' font, "MS Sans Serif" 8.25 points at the screen's resolution, regular or
// bold (weight 700). Created once per weight; never deleted.
HFONT FormFont(bool bold);

// An object behind a top-level window of one of the library's form classes. Its window
// gives it every message from WM_NCCREATE to WM_NCDESTROY; an exception thrown while
// handling one is dropped there and the message gets the platform's default handling.
class Form {
 public:
  virtual ~Form() = default;

 protected:
  // Registers a form class of this module (arrow cursor, button-face background, the
  // application icon when `with_icon`). False when the platform refuses; a class that
  // exists already counts as registered.
  static bool RegisterFormClass(const wchar_t* name, bool with_icon);
  // A top-level window of a registered form class, without an owner, handled by this
  // object; null (with the thread's last error) when the platform refuses.
  HWND CreateFormWindow(DWORD ex_style, const wchar_t* form_class, const wchar_t* caption, DWORD style, int left,
                        int top, int width, int height);
  // Destroys a window of this object's without handing it any more messages.
  static void DestroyUnheard(HWND window);

  virtual LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
};

// A window that sees the thread's keyboard messages before the control with the focus,
// as long as it is registered: from whichever loop takes them off the thread's queue (the
// library's modal loops, a client's own loop around a modeless window, a message box's),
// through a hook on the thread's message retrieval that stays while any is registered.
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
void RunModalLoop(HWND window);
// A window shown by RunModalLoop passes it its WM_SHOWWINDOW and WM_DESTROY: when it is
// hidden or destroyed this posts WM_NULL to the thread, so that a loop waiting for
// messages looks at the window again.
void WakeModalLoopOnClose(UINT message, WPARAM wparam);

}  // namespace windows
