#include "component/win32/platform_win32.h"

#include "settings/win32/options_dialog.h"
#include "viewer/win32/live_message_window.h"
#include "viewer/win32/report_viewer_window.h"

namespace component {

std::unique_ptr<LiveMessageWindow> Win32WindowFactory::CreateLiveMessageWindow() {
  return std::make_unique<viewer::LiveMessageWindowWin32>();
}

std::shared_ptr<ReportViewer> Win32WindowFactory::CreateReportViewer(ModuleState& state, const Platform& platform,
                                                                     std::function<void()> unloaded) {
  return std::make_shared<viewer::ReportViewerWindow>(state, platform, std::move(unloaded));
}

std::unique_ptr<settings::OptionsWindow> Win32WindowFactory::CreateOptionsDialog(
    settings::SettingsStore& store, std::unique_ptr<settings::OptionsServices> services) {
  return std::make_unique<settings::OptionsDialogWin32>(store, std::move(services));
}

}  // namespace component
