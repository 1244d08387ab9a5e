#pragma once
// frmOptionsA as logic: which settings the dialog loads (GetSet), how they reach its
// controls (SetMe), what a confirmed OK writes (SaveSet), and what each command does.
// The window itself is a thin shell (windows/options_dialog.h) over these
// interfaces; tests drive the same logic with in-memory controls.
#include <array>
#include <cstdint>

#include "common/text.h"
#include "settings/settings_store.h"

namespace settings {

// The nine edited values, in the order GetSet reads them and SaveSet writes them.
enum class Option : uint8_t {
  kEnabled,             // DebuggerAEnabled, check box chkDebugger
  kEnabledDLL,          // DebuggerAEnabledDLL
  kEnabledEXE,          // DebuggerAEnabledEXE
  kEnabledOCX,          // DebuggerAEnabledOCX
  kLevel,               // DebuggerAEnabledLevel, the level list cmbLevel
  kRegistry,            // DebuggerRegistry
  kWindow,              // DebuggerWindow
  kShell,               // DebuggerShell
  kCleanMachineEnvVar,  // CleanMachineEnvVar, application "Kestrelon", section "Marivale"
};
inline constexpr size_t kOptionCount = 9;
inline constexpr std::array<Option, kOptionCount> kOptionOrder = {
    Option::kEnabled,  Option::kEnabledDLL, Option::kEnabledEXE, Option::kEnabledOCX,        Option::kLevel,
    Option::kRegistry, Option::kWindow,     Option::kShell,      Option::kCleanMachineEnvVar};
// The eight check boxes in the order SetMe checks them.
inline constexpr std::array<Option, 8> kCheckBoxOrder = {
    Option::kEnabled,  Option::kEnabledDLL, Option::kEnabledEXE, Option::kEnabledOCX,
    Option::kRegistry, Option::kWindow,     Option::kShell,      Option::kCleanMachineEnvVar};

// Where a value lives: the settings application name for the first eight,
// "Kestrelon" for CleanMachineEnvVar.
struct OptionAddress {
  Text app, section, key;
};
OptionAddress AddressOf(Option option, TextView settings_app);

// The items of the level list, in order.
inline constexpr std::array<const char16_t*, 2> kLevelItems = {u"1", u"2"};

// The confirmation asked before saving and before deleting the report file.
inline constexpr char16_t kConfirmText[] = u"Are you sure?";
inline constexpr char16_t kConfirmTitle[] = u"Sure...";
inline constexpr uint32_t kConfirmStyle = 0x04 | 0x20;  // Yes and No, question icon, Yes preselected
inline constexpr int kAnswerNo = 7;

// The values loaded when the dialog opens, indexed by Option.
using LoadedOptions = std::array<int32_t, kOptionCount>;

// The dialog's controls as the logic sees them.
class OptionsControls {
 public:
  virtual ~OptionsControls() = default;
  // The check box that edits `option` (any option but kLevel).
  virtual bool IsChecked(Option option) const = 0;
  virtual void SetChecked(Option option, bool checked) = 0;
  // Empties the level list and adds `items` in order; nothing is selected.
  virtual void FillLevelList(const std::array<const char16_t*, 2>& items) = 0;
  // The list's text: the selected item's, empty when nothing is selected.
  virtual Text LevelText() const = 0;
  // Selects the item whose text is `text`; false (selection unchanged) when none matches.
  virtual bool SetLevelText(TextView text) = 0;
  virtual void SetViewFileTip(TextView tip) = 0;
};

// What the dialog reaches beyond the settings store and its controls.
class OptionsServices {
 public:
  struct Configuration {
    Text settings_app;
    Text report_file_path;
  };
  virtual ~OptionsServices() = default;
  // Runs the component's configuration loader and returns what the dialog uses of it.
  virtual Configuration LoadConfiguration() = 0;
  // A modal message box without an owner; returns the answer.
  virtual int Ask(TextView text, TextView title, uint32_t style) = 0;
  // Deletes the file, also when it is read-only. Throws on failure.
  virtual void DeleteReportFile(TextView path) = 0;
  // Opens the file with its associated program, maximized. Throws on failure.
  virtual void OpenReportFile(TextView path) = 0;
  // Shows the report viewer modal; returns when it closes. Reports its own failures.
  virtual void ShowReportViewer() = 0;
};

// The dialog window: loaded afresh at each opening, unloaded when it closes.
class OptionsWindow {
 public:
  virtual ~OptionsWindow() = default;
  virtual bool IsOpen() const = 0;
  // Loads the dialog and shows it modal, without an owner; returns when it closes.
  // A failure while loading goes to the caller and leaves the dialog closed.
  virtual void ShowModal() = 0;
};

// The nine values by the rules of the catalog: each text's number rounded half to
// even to a 32-bit integer (0 for an empty or non-numeric text).
LoadedOptions GetSet(SettingsStore& store, TextView settings_app);
// Puts the loaded values into the controls; a step that fails is skipped.
void SetMe(const LoadedOptions& loaded, OptionsControls& controls, TextView report_file_path);
// Writes the controls' state, in the order of kOptionOrder: "1"/"0" for a check box,
// the number of the level list's text ("0" for no selection).
void SaveSet(const OptionsControls& controls, SettingsStore& store, TextView settings_app);

// The dialog's behaviour from opening to closing.
class OptionsDialogLogic {
 public:
  OptionsDialogLogic(SettingsStore& store, OptionsServices& services) : store_(store), services_(services) {}

  // The opening: level list, configuration loader, GetSet, SetMe. Throws what the
  // loader or GetSet throws.
  void Load(OptionsControls& controls);
  // OK: asks first; true when the settings were saved and the dialog is to close.
  bool Ok(OptionsControls& controls);
  // Clear File: asks first, then deletes the report file; failures are ignored.
  void ClearFile();
  // View File: opens the report file; failures are ignored.
  void ViewFile();
  // View Debugger: the report viewer, modal.
  void ViewDebugger();

  const LoadedOptions& loaded() const { return loaded_; }
  const OptionsServices::Configuration& configuration() const { return configuration_; }

 private:
  bool Confirmed();

  SettingsStore& store_;
  OptionsServices& services_;
  OptionsServices::Configuration configuration_;
  LoadedOptions loaded_{};
};

}  // namespace settings
