#include "windows/save_rows.h"

#include <commdlg.h>

#include <cwchar>

#include "common/automation_error.h"
#include "winkit/errors.h"
#include "winkit/handles.h"
#include "winkit/wide_text.h"

namespace windows {

namespace {

namespace en = common::error_number;

common::AutomationError SaveError(DWORD code, const std::wstring& path) {
  int32_t number = en::kPathFileAccess;
  switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
      number = en::kPermissionDenied;
      break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      number = en::kPathNotFound;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      number = 61;  // "Disk full"
      break;
  }
  common::Text reason = winkit::SystemMessage(code);
  if (reason.empty()) reason = u"system error " + common::IntegerText(code);
  return common::AutomationError(number, u"Cannot save the rows as \"" + common::Text(winkit::TextOf(path.c_str())) +
                                             u"\": " + reason);
}

}  // namespace

void WriteFileWhole(const std::wstring& path, const std::function<void(const ByteWriter&)>& produce) {
  wchar_t full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
  if (length == 0 || length >= std::size(full)) throw SaveError(length ? ERROR_FILENAME_EXCED_RANGE : GetLastError(), path);
  // The new file beside the chosen name, under a name of its own.
  std::wstring unfinished;
  winkit::Handle file;
  for (DWORD attempt = GetTickCount() ^ (GetCurrentProcessId() << 16);; ++attempt) {
    wchar_t suffix[32];
    swprintf(suffix, std::size(suffix), L".%08lx.velk-new", static_cast<unsigned long>(attempt));
    unfinished = std::wstring(full) + suffix;
    file.reset(CreateFileW(unfinished.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) break;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) throw SaveError(GetLastError(), path);
  }
  DWORD failure = ERROR_SUCCESS;
  try {
    produce([&](std::string_view bytes) {
      DWORD written = 0;
      if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
          written != bytes.size())
        throw SaveError(written != bytes.size() && GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError(),
                        path);
    });
    if (!FlushFileBuffers(file.get())) throw SaveError(GetLastError(), path);
    file.reset();
    if (!MoveFileExW(unfinished.c_str(), full, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) failure = GetLastError();
  } catch (...) {
    file.reset();
    DeleteFileW(unfinished.c_str());
    throw;
  }
  if (failure != ERROR_SUCCESS) {
    DeleteFileW(unfinished.c_str());
    throw SaveError(failure, path);
  }
}

bool SaveRowsAs(HWND owner, const viewer::ReportList& rows, const std::wstring& suggested) {
  std::wstring file = suggested.substr(0, MAX_PATH);
  file.resize(MAX_PATH * 4, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kSaveTypes;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = kSaveDialogTitle;
  dialog.lpstrDefExt = L"csv";
  // The writing says itself when the folder cannot take the file.
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOTESTFILECREATE | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) {
    if (const DWORD error = CommDlgExtendedError())
      throw common::AutomationError(en::kPathFileAccess,
                                    u"Cannot show the Save dialog (error " + common::IntegerText(error) + u")");
    return false;
  }
  file.resize(wcslen(file.c_str()));
  const bool tab_separated = dialog.nFilterIndex == 2;
  // A name typed without a type gets the chosen type's.
  if (dialog.nFileExtension == 0 || dialog.nFileExtension >= file.size()) file += tab_separated ? L".txt" : L".csv";
  HCURSOR cursor = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
  try {
    WriteFileWhole(file, [&](const ByteWriter& write) {
      viewer::ExportRows(rows, tab_separated ? viewer::ExportFormat::kTabSeparated : viewer::ExportFormat::kCsv, write);
    });
  } catch (...) {
    SetCursor(cursor);
    throw;
  }
  SetCursor(cursor);
  return true;
}

}  // namespace windows
