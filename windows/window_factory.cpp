#include "windows/window_factory.h"

#include "windows/live_message_window.h"
#include "windows/options_dialog.h"
#include "windows/report_viewer_window.h"

namespace windows {

std::unique_ptr<component::LiveMessageWindow> Win32WindowFactory::CreateLiveMessageWindow() {
  return std::make_unique<LiveMessageWindowWin32>();
}

std::unique_ptr<component::ReportViewer> Win32WindowFactory::CreateReportViewer(const component::ReportSource& source,
                                                                                component::MessageBoxes& boxes) {
  return std::make_unique<ReportViewerWindow>(source, boxes);
}

std::unique_ptr<settings::OptionsWindow> Win32WindowFactory::CreateOptionsDialog(
    settings::SettingsStore& store, std::unique_ptr<settings::OptionsServices> services,
    component::MessageBoxes& boxes) {
  return std::make_unique<OptionsDialogWin32>(store, std::move(services), boxes);
}

}  // namespace windows
