#pragma once
// The debugger object's commands: its creation (helper objects, configuration loader),
// its application object, the window commands and the options dialog's services.
#include "component/debug_message.h"
#include "component/module_state.h"
#include "component/platform.h"

namespace component {

// Creates the run-time support component, then the INI file handler, each
// replacing the one held before. Throws when either cannot be created; one
// created before the failure stays stored.
void CreateHelperObjects(ModuleState& state, const Platform& platform);

// Reads the three sink switches and builds the report file path from QVSUPPORT.
void LoadDebuggerConfig(ModuleState& state, const Platform& platform);

// The shared report viewer, created (not loaded) when the module state holds none. It
// reads through the module state's INI file handler and report file path at every reload.
ReportViewer& ReportViewerInstance(ModuleState& state, const Platform& platform);

// The report viewer, modal: raises error 400 when it is already shown.
void ShowReportViewerModal(ModuleState& state, const Platform& platform);

// What the options dialog reaches in the component: the configuration loader, message
// boxes, the report file and the report viewer.
class DebuggerOptionsServices : public settings::OptionsServices {
 public:
  DebuggerOptionsServices(ModuleState& state, const Platform& platform) : state_(state), platform_(platform) {}
  Configuration LoadConfiguration() override;
  int Ask(TextView text, TextView title, uint32_t style) override;
  void DeleteReportFile(TextView path) override;
  void OpenReportFile(TextView path) override;
  // A failure (the viewer already shown modeless, a failed load) shows the error
  // report titled "<number> -cmdViewDebugger"; the dialog stays open.
  void ShowReportViewer() override;

 private:
  ModuleState& state_;
  const Platform& platform_;
};

// The logic behind one debugger object. It holds no data of its own: everything
// lives in the module state that it shares with every other object on its thread.
class Debugger {
 public:
  // Runs the object's initialisation: helper objects, configuration, then
  // CreateDebugInfoWindow. Throws (no message box) when the first two fail.
  Debugger(ModuleState& state, const Platform& platform);

  outside::ObjectRef AppObj() const { return state_.app_object; }
  void SetAppObj(outside::ObjectRef object) { state_.app_object = std::move(object); }

  // The window commands. The first three report their errors in a message box and
  // return normally; the two Show commands are modal and throw their errors.
  void CreateDebugInfoWindow();  // the report viewer, modeless, when DebuggerWindow is 1
  void DestroyDebugInfoWindow();  // does nothing
  void AddClearMessages();        // empties the viewer's list (a hidden viewer if none)
  void ShowDebuggerWindow();      // the report viewer, modal
  void ShowDebuggerOptions();     // the options dialog, modal

  // Records one message (the whole method, under its error trap).
  void AddDebugMessage(DebugMessage& message);

 private:
  ModuleState& state_;
  const Platform& platform_;
};

}  // namespace component
