#pragma once
// The one record that every debugger object on a thread shares. It lives as long
// as the library is loaded; releasing an object changes nothing in it.
#include <cstdint>
#include <memory>

#include "common/text.h"
#include "component/platform.h"
#include "outside/automation.h"

namespace component {

struct ModuleState {
  common::Text settings_app;      // set by LoadDebuggerConfig
  int32_t debugger_window = 0;    // sink switches: a sink is on only at exactly 1
  int32_t debugger_registry = 0;
  int32_t debugger_shell = 0;
  common::Text report_file_path;  // set by LoadDebuggerConfig
  int64_t message_counter = 0;    // accepted messages so far; the first gets 1
  outside::ObjectRef app_object;  // the client's application object, or none
  outside::ObjectRef run_time;    // run-time support component
  outside::ObjectRef ini_handler;  // INI file handler
  // The three windows, each created on first use and kept; their windows come and go.
  std::unique_ptr<LiveMessageWindow> live_window;
  std::unique_ptr<ReportViewer> report_viewer;
  std::unique_ptr<settings::OptionsWindow> options_dialog;
};

}  // namespace component
