#include "component/lifecycle.h"

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
    return settings::RuleS(platform.settings.ReadSetting(state.settings_app, cat::kSectionDebuggerA, key));
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

void Debugger::CreateDebugInfoWindow() {
  RunTrapped(platform_, u"CreateDebugInfoWindow", [&] {
    // The report viewer opens here once it exists; with the switch off nothing happens.
  });
}

void Debugger::DestroyDebugInfoWindow() {
  RunTrapped(platform_, u"DestroyDebugInfoWindow", [] {});
}

void Debugger::AddClearMessages() {
  RunTrapped(platform_, u"AddClearMessages", [] {});
}

void Debugger::ShowDebuggerWindow() {}

void Debugger::ShowDebuggerOptions() {}

void Debugger::AddDebugMessage(DebugMessage& message) { component::AddDebugMessage(state_, platform_, message); }

}  // namespace component
