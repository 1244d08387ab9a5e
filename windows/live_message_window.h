#pragma once
// frmDebugWindowA: a small fixed-border window with an empty title at the screen's
// top-left corner; its text box txtDebugOption fills the client area and holds the
// latest message line. Closing it destroys the window; the next Show loads it again.
#include <windows.h>

#include <string>

#include "component/platform.h"
#include "windows/form_support.h"

namespace windows {

inline constexpr wchar_t kLiveWindowClass[] = L"frmDebugWindowA";
inline constexpr int kLiveWindowWidthTwips = 5940;
inline constexpr int kLiveWindowHeightTwips = 1995;

class LiveMessageWindowWin32 : public component::LiveMessageWindow, private Form {
 public:
  LiveMessageWindowWin32() = default;
  ~LiveMessageWindowWin32() override;
  LiveMessageWindowWin32(const LiveMessageWindowWin32&) = delete;
  LiveMessageWindowWin32& operator=(const LiveMessageWindowWin32&) = delete;

  void Show() override;
  void SetText(common::TextView text) override;

  HWND window() const { return window_; }
  HWND text_box() const { return text_box_; }

 private:
  void Load();
  void ShowPendingLine();
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
  static LRESULT CALLBACK TextBoxLooks(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                       DWORD_PTR data);

  HWND window_ = nullptr;
  HWND text_box_ = nullptr;
  std::wstring pending_;        // the latest line, until the box has it
  bool has_pending_ = false;
  bool update_posted_ = false;  // a reminder to take the pending line is on its way
  bool updated_ = false;        // the box has taken a line since the window was loaded
  DWORD last_update_ = 0;       // tick count of that
};

}  // namespace windows
