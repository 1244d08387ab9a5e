#include "windows/viewer_sources.h"

#include <windows.h>

#include "outside/helper_components.h"
#include "settings/catalog.h"
#include "settings/win32/registry_settings_store.h"
#include "viewer/registry_log.h"
#include "viewer/report_file_check.h"
#include "winkit/errors.h"
#include "winkit/handles.h"
#include "winkit/wide_text.h"

namespace windows {

namespace {

namespace en = common::error_number;

std::wstring FileName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring WithoutType(const std::wstring& name) {
  const size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

common::Text TextOf(const std::wstring& text) { return common::Text(winkit::TextOf(text.c_str(), text.size())); }

// The values of a key of the user's registry that hold text; none for an absent key.
std::vector<viewer::NamedText> TextValues(const common::Text& path) {
  std::vector<viewer::NamedText> values;
  winkit::Key key;
  LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, winkit::Wide(path), 0, KEY_QUERY_VALUE, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return values;
  DWORD count = 0, longest_name = 0, longest_data = 0;
  if (status == ERROR_SUCCESS)
    status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest_name,
                              &longest_data, nullptr, nullptr);
  if (status != ERROR_SUCCESS)
    throw common::AutomationError(en::kPathFileAccess, u"Cannot read the registry log: " + winkit::SystemMessage(status));
  std::wstring name(longest_name + 1, L'\0');
  std::vector<BYTE> data(longest_data + sizeof(wchar_t));
  for (DWORD index = 0;; ++index) {
    DWORD name_length = static_cast<DWORD>(name.size()), data_bytes = static_cast<DWORD>(data.size()), type = 0;
    status = RegEnumValueW(key.get(), index, name.data(), &name_length, nullptr, &type, data.data(), &data_bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {  // grew since the look at its size: that value again
      data.resize(data.size() * 2 + 256);
      name.resize(name.size() * 2 + 64);
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS)
      throw common::AutomationError(en::kPathFileAccess, u"Cannot read the registry log: " + winkit::SystemMessage(status));
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    common::Text text(reinterpret_cast<const char16_t*>(data.data()), data_bytes / sizeof(char16_t));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    values.push_back({common::Text(winkit::TextOf(name.c_str(), name_length)), std::move(text)});
  }
  return values;
}

}  // namespace

std::wstring ComponentReportSource::export_name() const {
  const common::Text& path = source_.report_file_path;
  return WithoutType(FileName(std::wstring(path.begin(), path.end())));
}

void ComponentReportSource::Load(viewer::ReportList& rows, ReportFileWatch& watch) {
  const std::wstring path(source_.report_file_path.begin(), source_.report_file_path.end());
  rows.Clear();
  outside::Require(source_.ini_handler);  // the reload's handler: none is an error either way
  bool whole = false;
  rows.Reload([&](const viewer::ReportList::Add& add) { whole = watch.ReadWhole(path, add); });
  if (!whole) {
    watch.MarkRead(path);
    viewer::LoadDebugInfoInwindow(rows, source_);
  }
}

std::wstring ReportFileSource::caption_name() const { return FileName(path_); }

std::wstring ReportFileSource::export_name() const { return WithoutType(FileName(path_)); }

void ReportFileSource::Refuse(int32_t number, const common::Text& why) const {
  throw common::AutomationError(number, u"Cannot open \"" + TextOf(path_) + u"\": " + why);
}

outside::ObjectRef& ReportFileSource::Handler() {
  if (!handler_) {
    try {
      handler_ = create_handler_();
    } catch (const common::AutomationError& error) {
      Refuse(error.number(), u"it is not in the form velk10 writes (UTF-16), and reading it needs the INI file handler " +
                                 common::Text(outside::kIniFileHandlerProgId) +
                                 u" (tolvex10.dll), which cannot be created: " + error.description());
    }
  }
  return handler_;
}

void ReportFileSource::Check() {
  const DWORD attributes = GetFileAttributesW(path_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) Refuse(en::kFileNotFound, u"there is no such file.");
    Refuse(en::kPathFileAccess, winkit::SystemMessage(code));
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) Refuse(en::kPathFileAccess, u"it is a folder, not a report file.");
  winkit::Handle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string head(viewer::kReportFileHeadBytes, '\0');
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) {
    const DWORD code = GetLastError();
    Refuse(code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? en::kPermissionDenied : en::kPathFileAccess,
           winkit::SystemMessage(code));
  }
  head.resize(read);
  switch (viewer::CheckReportFileHead(head)) {
    case viewer::ReportFileHead::kNotText:
      Refuse(en::kPathFileAccess, u"it is not an INI file: it holds characters that no text file holds.");
    case viewer::ReportFileHead::kNoSection:
      Refuse(en::kPathFileAccess, u"it is not an INI file: no line of it starts a section such as [DebuggerAReport].");
    case viewer::ReportFileHead::kIni:
      break;
  }
  if (!head.empty() && !head.starts_with(std::string_view("\xFF\xFE", 2))) Handler();
}

void ReportFileSource::Load(viewer::ReportList& rows, ReportFileWatch& watch) {
  Check();
  bool whole = false;
  rows.Reload([&](const viewer::ReportList::Add& add) { whole = watch.ReadWhole(path_, add); });
  if (!whole) {
    watch.MarkRead(path_);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data) && !data.nFileSizeHigh && !data.nFileSizeLow)
      return;  // an empty file lists nothing, with or without the handler
    const common::Text path = TextOf(path_);
    viewer::LoadDebugInfoInwindow(rows, component::ReportSource{Handler(), path, format_});
  }
}

void RegistryLogSource::Load(viewer::ReportList& rows, ReportFileWatch& watch) {
  namespace cat = settings::catalog;
  watch.Stop();
  std::vector<viewer::ReportEntry> entries = viewer::RegistryLogEntries(
      TextValues(settings::RegistrySettingsStore::KeyPath(cat::kSettingsApp, cat::kSectionReport)),
      TextValues(settings::RegistrySettingsStore::KeyPath(cat::kSettingsApp, cat::kSectionReportCo)));
  rows.Reload([&](const viewer::ReportList::Add& add) { add(std::move(entries)); });
}

}  // namespace windows
