#include "component/debugger_commands.h"

#include "component/error_report.h"
#include "outside/helper_components.h"
#include "settings/catalog.h"
#include "settings/number_text.h"

namespace component {

namespace cat = settings::catalog;

void CreateHelperObjects(ModuleState& state, const Platform& platform) {
  state.run_time = platform.objects.Create(outside::kRunTimeProgId);
  state.ini_handler = platform.objects.Create(outside::kIniFileHandlerProgId);
}

void LoadDebuggerConfig(ModuleState& state, const Platform& platform) {
  state.settings_app = cat::kSettingsApp;
  auto read_switch = [&](const char16_t* key) {
    return settings::RoundedNumber(platform.settings.ReadSetting(state.settings_app, cat::kSectionDebuggerA, key));
  };
  state.debugger_window = read_switch(cat::kDebuggerWindow);
  state.debugger_registry = read_switch(cat::kDebuggerRegistry);
  state.debugger_shell = read_switch(cat::kDebuggerShell);

  // kind 2: the process environment. The result is used exactly as returned.
  Value folder = outside::RunTimeSupport(state.run_time).EnvironGet(2, u"QVSUPPORT");
  state.report_file_path = platform.format.TextOf(folder) + u"\\velkbug.ini";
}

Debugger::Debugger(ModuleState& state, const Platform& platform) : state_(state), platform_(platform) {
  CreateHelperObjects(state_, platform_);
  LoadDebuggerConfig(state_, platform_);
  CreateDebugInfoWindow();
}

ReportViewer& ReportViewerInstance(ModuleState& state, const Platform& platform) {
  if (!state.report_viewer)
    state.report_viewer = platform.windows.CreateReportViewer(
        ReportSource{state.ini_handler, state.report_file_path, platform.format}, platform.boxes);
  return *state.report_viewer;
}

void ShowReportViewerModal(ModuleState& state, const Platform& platform) {
  ReportViewer& viewer = ReportViewerInstance(state, platform);
  if (viewer.IsVisible()) throw AlreadyShownError();
  viewer.ShowModal();
}

settings::OptionsServices::Configuration DebuggerOptionsServices::LoadConfiguration() {
  LoadDebuggerConfig(state_, platform_);
  return {state_.settings_app, state_.report_file_path};
}

int DebuggerOptionsServices::Ask(TextView text, TextView title, uint32_t style) {
  return platform_.boxes.Show(text, title, style);
}

void DebuggerOptionsServices::DeleteReportFile(TextView path) { platform_.files.DeleteForced(path); }

void DebuggerOptionsServices::OpenReportFile(TextView path) { platform_.files.OpenWithAssociatedProgram(path); }

void DebuggerOptionsServices::ShowReportViewer() {
  RunTrapped(platform_.boxes, u"cmdViewDebugger", [&] { ShowReportViewerModal(state_, platform_); });
}

void Debugger::CreateDebugInfoWindow() {
  RunTrapped(platform_.boxes, u"CreateDebugInfoWindow", [&] {
    if (!settings::SwitchIsOn(state_.debugger_window)) return;
    ReportViewerInstance(state_, platform_).ShowModeless();
  });
}

// Does nothing: the report viewer stays as it is.
void Debugger::DestroyDebugInfoWindow() {
  RunTrapped(platform_.boxes, u"DestroyDebugInfoWindow", [] {});
}

void Debugger::AddClearMessages() {
  // A viewer that is not loaded is loaded hidden first (its reload runs), then emptied.
  RunTrapped(platform_.boxes, u"AddClearMessages", [&] { ReportViewerInstance(state_, platform_).ClearList(); });
}

void Debugger::ShowDebuggerWindow() { ShowReportViewerModal(state_, platform_); }

void Debugger::ShowDebuggerOptions() {
  if (!state_.options_dialog)
    state_.options_dialog = platform_.windows.CreateOptionsDialog(
        platform_.settings, std::make_unique<DebuggerOptionsServices>(state_, platform_), platform_.boxes);
  if (state_.options_dialog->IsOpen()) throw AlreadyShownError();
  state_.options_dialog->ShowModal();
}

void Debugger::AddDebugMessage(DebugMessage& message) { component::AddDebugMessage(state_, platform_, message); }

}  // namespace component
