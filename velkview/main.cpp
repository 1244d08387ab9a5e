// velkview.exe [report file | /registry]: the report viewer as a program of its own
// (viewer_program.h). Exits with 0 once its window closes, with 1 when it cannot start.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/automation_error.h"
#include "velkview/viewer_program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; argv && i < count; ++i) arguments.emplace_back(argv[i]);
  if (argv) LocalFree(argv);

  CoInitialize(nullptr);  // the INI file handler, for report files in another form
  int code = 1;
  try {
    velkview::ViewerProgram program;
    code = program.Run(arguments);
  } catch (const common::AutomationError& error) {
    const common::Text& text = error.description();
    MessageBoxW(nullptr, std::wstring(text.begin(), text.end()).c_str(), windows::kReportViewerCaption,
                MB_OK | MB_ICONERROR);
  } catch (...) {
    MessageBoxW(nullptr, L"The report viewer cannot start.", windows::kReportViewerCaption, MB_OK | MB_ICONERROR);
  }
  CoUninitialize();
  return code;
}
