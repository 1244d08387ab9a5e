#pragma once
// frmOptionsA: a fixed dialog frame holding the check boxes, the level list and the
// buttons of the options, created from code at their twips positions and in their tab
// order. Shown modal only; it sees every key first, so Escape closes it whichever
// control has the focus. The logic lives in settings/options.h.
#include <windows.h>

#include <array>
#include <memory>

#include "settings/options.h"
#include "viewer/win32/form_support.h"

namespace settings {

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

class OptionsDialogWin32 : public OptionsWindow, public OptionsControls, private viewer::KeyPreview {
 public:
  OptionsDialogWin32(SettingsStore& store, std::unique_ptr<OptionsServices> services);
  ~OptionsDialogWin32() override;
  OptionsDialogWin32(const OptionsDialogWin32&) = delete;
  OptionsDialogWin32& operator=(const OptionsDialogWin32&) = delete;

  bool IsOpen() const override { return window_ != nullptr; }
  void ShowModal() override;

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
  void ReportError(const wchar_t* command);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  SettingsStore& store_;
  std::unique_ptr<OptionsServices> services_;
  std::unique_ptr<OptionsDialogLogic> logic_;
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  Text tip_;
};

}  // namespace settings
