#include "settings/options.h"

#include "settings/catalog.h"
#include "settings/number_text.h"

namespace settings {

namespace cat = catalog;

namespace {

const char16_t* KeyOf(Option option) {
  switch (option) {
    case Option::kEnabled: return cat::kDebuggerAEnabled;
    case Option::kEnabledDLL: return cat::kDebuggerAEnabledDLL;
    case Option::kEnabledEXE: return cat::kDebuggerAEnabledEXE;
    case Option::kEnabledOCX: return cat::kDebuggerAEnabledOCX;
    case Option::kLevel: return cat::kDebuggerAEnabledLevel;
    case Option::kRegistry: return cat::kDebuggerRegistry;
    case Option::kWindow: return cat::kDebuggerWindow;
    case Option::kShell: return cat::kDebuggerShell;
    case Option::kCleanMachineEnvVar: return cat::kCleanMachineEnvVar;
  }
  return u"";
}

size_t IndexOf(Option option) { return static_cast<size_t>(option); }

// Runs one step of SetMe; a failing step is skipped.
template <typename Step>
void Resume(Step&& step) {
  try {
    step();
  } catch (...) {
  }
}

}  // namespace

OptionAddress AddressOf(Option option, TextView settings_app) {
  if (option == Option::kCleanMachineEnvVar) return {cat::kMakerApp, cat::kSectionMarivale, KeyOf(option)};
  return {Text(settings_app), cat::kSectionDebuggerA, KeyOf(option)};
}

LoadedOptions GetSet(SettingsStore& store, TextView settings_app) {
  LoadedOptions loaded{};
  for (Option option : kOptionOrder) {
    OptionAddress at = AddressOf(option, settings_app);
    loaded[IndexOf(option)] = RoundedNumber(store.ReadSetting(at.app, at.section, at.key));
  }
  return loaded;
}

void SetMe(const LoadedOptions& loaded, OptionsControls& controls, TextView report_file_path) {
  for (Option box : kCheckBoxOrder)
    Resume([&] {
      if (loaded[IndexOf(box)] > 0) controls.SetChecked(box, true);
    });
  // A level that no item shows (0 included) leaves the list without selection.
  Resume([&] { controls.SetLevelText(common::IntegerText(loaded[IndexOf(Option::kLevel)])); });
  Resume([&] { controls.SetViewFileTip(report_file_path); });
}

void SaveSet(const OptionsControls& controls, SettingsStore& store, TextView settings_app) {
  for (Option option : kOptionOrder) {
    Text text = option == Option::kLevel ? NumberText(TextToNumber(controls.LevelText()))
                                         : Text(controls.IsChecked(option) ? u"1" : u"0");
    OptionAddress at = AddressOf(option, settings_app);
    store.WriteSetting(at.app, at.section, at.key, text);
  }
}

void OptionsDialogLogic::Load(OptionsControls& controls) {
  controls.FillLevelList(kLevelItems);
  configuration_ = services_.LoadConfiguration();
  loaded_ = GetSet(store_, configuration_.settings_app);
  SetMe(loaded_, controls, configuration_.report_file_path);
}

bool OptionsDialogLogic::Confirmed() { return services_.Ask(kConfirmText, kConfirmTitle, kConfirmStyle) != kAnswerNo; }

bool OptionsDialogLogic::Ok(OptionsControls& controls) {
  if (!Confirmed()) return false;
  SaveSet(controls, store_, configuration_.settings_app);
  return true;
}

void OptionsDialogLogic::ClearFile() {
  if (!Confirmed()) return;
  try {
    services_.DeleteReportFile(configuration_.report_file_path);
  } catch (...) {
  }
}

void OptionsDialogLogic::ViewFile() {
  try {
    services_.OpenReportFile(configuration_.report_file_path);
  } catch (...) {
  }
}

void OptionsDialogLogic::ViewDebugger() { services_.ShowReportViewer(); }

}  // namespace settings
