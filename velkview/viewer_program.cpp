#include "velkview/viewer_program.h"

#include <commdlg.h>

#include "outside/helper_components.h"
#include "windows/form_support.h"

namespace velkview {

namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;  // the check of the file says what is wrong with it
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

}  // namespace

Request ParseArguments(const std::vector<std::wstring>& arguments) {
  Request request;
  for (const std::wstring& argument : arguments) {
    if (_wcsicmp(argument.c_str(), kRegistrySwitch) == 0 || _wcsicmp(argument.c_str(), L"-registry") == 0) {
      request.registry = true;
      request.file.clear();
      break;
    }
    if (request.file.empty() && !argument.empty()) request.file = FullPath(argument);
  }
  if (!request.registry && request.file.empty()) {
    // As the component finds its report file: the folder as the variable says, even empty.
    std::wstring folder(GetEnvironmentVariableW(L"QVSUPPORT", nullptr, 0), L'\0');
    folder.resize(folder.empty() ? 0 : GetEnvironmentVariableW(L"QVSUPPORT", folder.data(), static_cast<DWORD>(folder.size())));
    request.file = FullPath(folder + L"\\velkbug.ini");
  }
  return request;
}

std::unique_ptr<windows::ViewerSource> ViewerProgram::FileSource(const std::wstring& path) {
  return std::make_unique<windows::ReportFileSource>(
      path, [this] { return platform_.objects.Create(outside::kIniFileHandlerProgId); }, platform_.format);
}

void ViewerProgram::Start(const std::vector<std::wstring>& arguments) {
  const Request request = ParseArguments(arguments);
  std::unique_ptr<windows::ViewerSource> source;
  if (request.registry)
    source = std::make_unique<windows::RegistryLogSource>();
  else
    source = FileSource(request.file);
  window_ = std::make_unique<windows::ReportViewerWindow>(std::move(source), platform_.boxes, this);
  window_->ShowAndLoad(request.registry ? u"RegistryLog" : u"Open");
}

int ViewerProgram::Run(const std::vector<std::wstring>& arguments) {
  Start(arguments);
  windows::RunModalLoop(window_->window());
  return 0;
}

void ViewerProgram::OpenFile(const std::wstring& path) { window_->ShowSource(FileSource(FullPath(path))); }

void ViewerProgram::Open() {
  std::wstring file(MAX_PATH * 4, L'\0');
  std::wstring folder;
  if (const auto* shown = dynamic_cast<const windows::ReportFileSource*>(&window_->source())) {
    folder = shown->path().substr(0, shown->path().find_last_of(L"\\/") + 1);
  }
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_->window();
  dialog.lpstrFilter = kOpenTypes;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = kOpenDialogTitle;
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog)) {
    if (const DWORD error = CommDlgExtendedError())
      throw common::AutomationError(common::error_number::kPathFileAccess,
                                    u"Cannot show the Open dialog (error " + common::IntegerText(error) + u")");
    return;
  }
  file.resize(wcslen(file.c_str()));
  OpenFile(file);
}

void ViewerProgram::OpenRegistryLog() { window_->ShowSource(std::make_unique<windows::RegistryLogSource>()); }

void ViewerProgram::Dropped(const std::vector<std::wstring>& files) {
  if (!files.empty()) OpenFile(files.front());
}

}  // namespace velkview
