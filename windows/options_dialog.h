#pragma once
// frmOptionsA: a fixed dialog frame holding the check boxes, the level list and the
// buttons of the options, created from code at their twips positions and in their tab
// order. Shown modal only; it sees every key first, so Escape closes it whichever
// control has the focus. The logic lives in settings/options.h.
#include <windows.h>

#include <array>
#include <memory>

#include "component/platform.h"
#include "settings/options.h"
#include "windows/form_support.h"

namespace windows {

using settings::Option;

inline constexpr wchar_t kOptionsDialogClass[] = L"frmOptionsA";
inline constexpr wchar_t kOptionsDialogCaption[] = L"Kestrelon Debugger Options";
inline constexpr int kOptionsWidthTwips = 5745;
inline constexpr int kOptionsHeightTwips = 4230;

// Control identifiers, in tab order. None is IDOK or IDCANCEL: Enter and the dialog
// keys have no dialog-wide meaning.
enum OptionsControlId : int {
  kIdChkDebugger = 100,
  kIdCmdOK,
  kIdCmdCancel,
  kIdCmdViewDebugger,
  kIdChkDebuggerAEnabledDLL,
  kIdChkDebuggerAEnabledEXE,
  kIdChkDebuggerAEnabledOCX,
  kIdLblLevel,
  kIdCmbLevel,
  kIdChkDebuggerRegistry,
  kIdChkDebuggerShell,
  kIdChkDebuggerWindow,
  kIdCmdViewFile,
  kIdCmdClearFile,
  kIdChkCleanMachineEnvVar,
  kIdLabel1,
};

struct OptionsControlLayout {
  int id;
  const wchar_t* name;
  const wchar_t* window_class;  // BUTTON, STATIC or COMBOBOX
  const wchar_t* caption;
  int left, top, width, height;  // twips
};
extern const std::array<OptionsControlLayout, 16> kOptionsLayout;  // in tab order

// The object stays while the module state holds it; each opening loads a new window.
class OptionsDialogWin32 : public settings::OptionsWindow,
                           public settings::OptionsControls,
                           private Form,
                           private KeyPreview {
 public:
  // A failure of OK shows the error report in `boxes`.
  OptionsDialogWin32(settings::SettingsStore& store, std::unique_ptr<settings::OptionsServices> services,
                     component::MessageBoxes& boxes)
      : store_(store), services_(std::move(services)), boxes_(boxes) {}
  ~OptionsDialogWin32() override;
  OptionsDialogWin32(const OptionsDialogWin32&) = delete;
  OptionsDialogWin32& operator=(const OptionsDialogWin32&) = delete;

  bool IsOpen() const override { return window_ != nullptr; }
  void ShowModal() override;  // only when not open: the caller makes sure

  bool IsChecked(Option option) const override;
  void SetChecked(Option option, bool checked) override;
  void FillLevelList(const std::array<const char16_t*, 2>& items) override;
  Text LevelText() const override;
  bool SetLevelText(TextView text) override;
  void SetViewFileTip(TextView tip) override;

  HWND window() const { return window_; }

 private:
  void Load();
  void Close();
  void Command(int id);
  bool PreviewMessage(MSG& message) override;
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  HWND CheckBoxOf(Option option) const;
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

  settings::SettingsStore& store_;
  std::unique_ptr<settings::OptionsServices> services_;
  component::MessageBoxes& boxes_;
  std::unique_ptr<settings::OptionsDialogLogic> logic_;
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  Text tip_;
};

}  // namespace windows
