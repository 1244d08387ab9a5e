#pragma once
// The component's three windows as Windows shows them.
#include "component/platform.h"

namespace windows {

class Win32WindowFactory : public component::WindowFactory {
 public:
  std::unique_ptr<component::LiveMessageWindow> CreateLiveMessageWindow() override;
  std::unique_ptr<component::ReportViewer> CreateReportViewer(const component::ReportSource& source,
                                                              component::MessageBoxes& boxes) override;
  std::unique_ptr<settings::OptionsWindow> CreateOptionsDialog(settings::SettingsStore& store,
                                                               std::unique_ptr<settings::OptionsServices> services,
                                                               component::MessageBoxes& boxes) override;
};

}  // namespace windows
