#pragma once
// Helpers for the INI engine tests on Win32 files.
#include <cstring>
#include <string>
#include <vector>

#include "common/text.h"
#include "tolvex/ini/ini_handler.h"

namespace tolvex::wintest {

using common::Text;

Text T(const char* utf8);
std::wstring W(const Text& text);
Text FromW(const std::wstring& text);
std::string U8(const Text& text);

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  Text File(const char* name) const { return FromW(path_ + L"\\" + std::wstring(name, name + strlen(name))); }
  std::vector<std::wstring> Entries() const;

 private:
  std::wstring path_;
};

// The platform's own profile reader, with its cache dropped first.
Text ProfileRead(const Text& path, const Text& section, const Text& key);
std::vector<Text> ProfileKeys(const Text& path, const Text& section);
std::vector<Text> ProfileSections(const Text& path);

std::string ReadBytes(const Text& path);
void WriteBytes(const Text& path, const std::string& bytes);

// One report: read the counter, store a numbered message, store the counter plus one,
// holding the file's lock throughout. Returns the number of the message stored.
int64_t Report(IniHandler& h);
Text ReportMessage(int64_t n);

}  // namespace tolvex::wintest
