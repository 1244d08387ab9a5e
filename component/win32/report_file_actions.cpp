#include "component/win32/report_file_actions.h"

#include <windows.h>
#include <shellapi.h>

#include "outside/win32/dispatch_client.h"
#include "winkit/wide_text.h"

namespace component {

namespace {

[[noreturn]] void RaiseWin32Error(DWORD code) { throw outside::ErrorFromResult(HRESULT_FROM_WIN32(code)); }

}  // namespace

void Win32ReportFileActions::DeleteForced(TextView path) {
  const std::wstring file = winkit::WideCopy(path);
  if (file.empty()) throw common::AutomationError(common::error_number::kBadFileName, u"Bad file name or number");
  DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) RaiseWin32Error(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    throw common::AutomationError(common::error_number::kFileNotFound, u"File not found");
  const bool read_only = attributes & FILE_ATTRIBUTE_READONLY;
  if (read_only && !SetFileAttributesW(file.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
    RaiseWin32Error(GetLastError());
  // A program that holds the file open with delete sharing (a reader of the report, say)
  // would keep its name in place until it lets go. Moved aside first, the file leaves its
  // name at once, so the next report starts a new file.
  static volatile LONG counter = 0;
  const std::wstring aside = file + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(InterlockedIncrement(&counter)) + L".deleted";
  const bool moved = MoveFileExW(file.c_str(), aside.c_str(), 0);
  const std::wstring& doomed = moved ? aside : file;
  if (!DeleteFileW(doomed.c_str())) {
    DWORD code = GetLastError();
    if (moved) MoveFileExW(aside.c_str(), file.c_str(), 0);
    if (read_only) SetFileAttributesW(file.c_str(), attributes);  // a file that stays keeps its mark
    RaiseWin32Error(code);
  }
}

void Win32ReportFileActions::OpenWithAssociatedProgram(TextView path) {
  const std::wstring file = winkit::WideCopy(path);
  if (file.empty()) throw common::AutomationError(common::error_number::kBadFileName, u"Bad file name or number");
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
  if (result <= 32) {
    DWORD code = GetLastError();
    RaiseWin32Error(code ? code : ERROR_NO_ASSOCIATION);
  }
}

}  // namespace component
