#pragma once
// velkview.exe: the report viewer as a program of its own. It shows the report viewer
// window (windows/report_viewer_window.h) on the report file named on its command line,
// on %QVSUPPORT%\velkbug.ini without one (as the component finds its report file), or on
// the registry log (/registry). Open (Ctrl+O: the platform's Open dialog), a file dropped
// onto the window and Registry Log change what it shows. A file that cannot be read is
// said in a box, and the window goes on showing what it showed.
#include <memory>
#include <string>
#include <vector>

#include "component/win32/platform_win32.h"
#include "windows/report_viewer_window.h"

namespace velkview {

inline constexpr wchar_t kOpenDialogTitle[] = L"Open";
inline constexpr wchar_t kOpenTypes[] = L"Report files (*.ini)\0*.ini\0All files (*.*)\0*.*\0";
inline constexpr wchar_t kRegistrySwitch[] = L"/registry";

// What the command line asks for: the registry log, or a report file (its full path).
// No argument names %QVSUPPORT%\velkbug.ini; of several files the first counts.
struct Request {
  bool registry = false;
  std::wstring file;
};
Request ParseArguments(const std::vector<std::wstring>& arguments);

class ViewerProgram : public windows::ViewerHost {
 public:
  ViewerProgram() = default;
  ViewerProgram(const ViewerProgram&) = delete;
  ViewerProgram& operator=(const ViewerProgram&) = delete;

  // Shows the window with what `arguments` ask for and returns; the window then runs on
  // the thread's messages. Raises an automation error when the window cannot be made.
  void Start(const std::vector<std::wstring>& arguments);
  // Start, then the thread's messages until the window closes; 0.
  int Run(const std::vector<std::wstring>& arguments);

  // Shows the report file at `path` in place of what is shown; raises an automation error
  // that says why when it cannot be read, and nothing changes.
  void OpenFile(const std::wstring& path);
  void Open() override;
  void OpenRegistryLog() override;
  // Opens the first file dropped.
  void Dropped(const std::vector<std::wstring>& files) override;

  windows::ReportViewerWindow& window() { return *window_; }

 private:
  std::unique_ptr<windows::ViewerSource> FileSource(const std::wstring& path);

  component::Win32Platform platform_;
  std::unique_ptr<windows::ReportViewerWindow> window_;
};

}  // namespace velkview
