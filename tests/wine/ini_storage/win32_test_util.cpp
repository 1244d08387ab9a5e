#include "win32_test_util.h"

#include <windows.h>

#include <cstring>

#include "winkit/handles.h"

namespace tolvex::wintest {

Text T(const char* utf8) { return common::FromUtf8(utf8); }
std::wstring W(const Text& text) { return std::wstring(text.begin(), text.end()); }
Text FromW(const std::wstring& text) { return Text(text.begin(), text.end()); }
std::string U8(const Text& text) { return common::ToUtf8(text); }

TempFolder::TempFolder() {
  static int serial = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"tolvex-ini-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++serial);
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  for (const auto& name : Entries()) {
    std::wstring full = path_ + L"\\" + name;
    SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(full.c_str())) RemoveDirectoryW(full.c_str());
  }
  RemoveDirectoryW(path_.c_str());
}

std::vector<std::wstring> TempFolder::Entries() const {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  winkit::Find find(FindFirstFileW((path_ + L"\\*").c_str(), &data));
  if (!find) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

namespace {

std::vector<Text> SplitList(const std::vector<wchar_t>& buffer, DWORD length) {
  std::vector<Text> items;
  std::wstring item;
  for (DWORD i = 0; i < length; ++i) {
    if (buffer[i] == 0) {
      items.push_back(FromW(item));
      item.clear();
    } else {
      item.push_back(buffer[i]);
    }
  }
  return items;
}

void DropProfileCache(const std::wstring& path) { WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str()); }

}  // namespace

Text ProfileRead(const Text& path, const Text& section, const Text& key) {
  DropProfileCache(W(path));
  std::vector<wchar_t> buffer(1 << 16);
  DWORD n = GetPrivateProfileStringW(W(section).c_str(), W(key).c_str(), L"<absent>", buffer.data(),
                                     static_cast<DWORD>(buffer.size()), W(path).c_str());
  return FromW(std::wstring(buffer.data(), n));
}

std::vector<Text> ProfileKeys(const Text& path, const Text& section) {
  DropProfileCache(W(path));
  std::vector<wchar_t> buffer(1 << 20);
  DWORD n = GetPrivateProfileStringW(W(section).c_str(), nullptr, L"", buffer.data(),
                                     static_cast<DWORD>(buffer.size()), W(path).c_str());
  return SplitList(buffer, n);
}

std::vector<Text> ProfileSections(const Text& path) {
  DropProfileCache(W(path));
  std::vector<wchar_t> buffer(1 << 16);
  DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), W(path).c_str());
  return SplitList(buffer, n);
}

std::string ReadBytes(const Text& path) {
  HANDLE file = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

void WriteBytes(const Text& path, const std::string& bytes) {
  HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

Text ReportMessage(int64_t n) {
  return common::FromUtf8("entry " + std::to_string(n) +
                          ": Ελληνικά 中文 😀 a=b; [not a section] \"quoted\" and some padding to reach a"
                          " realistic length for a debug message line");
}

int64_t Report(IniHandler& h) {
  // Under one lock, as the debugger takes it.
  h.HoldFile(h.Path());
  struct Release {
    IniHandler& h;
    ~Release() { h.ReleaseFile(); }
  } release{h};
  h.SetSection(u"DebuggerA");
  h.SetKey(u"Counter");
  Text counter = h.Value();
  int64_t n = counter.empty() ? 0 : std::stoll(U8(counter));
  h.SetSection(u"DebuggerAReport");
  h.SetKey(common::IntegerText(n));
  h.SetValue(ReportMessage(n));
  h.SetSection(u"DebuggerA");
  h.SetKey(u"Counter");
  h.SetValue(common::IntegerText(n + 1));
  return n;
}

}  // namespace tolvex::wintest
