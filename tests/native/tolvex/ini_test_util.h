#pragma once
// Helpers shared by the INI engine tests.
#include <string>
#include <string_view>

#include "common/text.h"
#include "tolvex/ini/ini_text.h"
#include "tests/support/memory_ini_storage.h"

namespace tolvex::testing {

using common::Text;

inline Text T(std::string_view utf8) { return common::FromUtf8(utf8); }
inline std::string U8(const Text& text) { return common::ToUtf8(text); }

// The bytes of a UTF-16LE file with its mark.
inline std::string Utf16File(const Text& text) {
  return std::string(ini::kUtf16LeBom) + ini::ToUtf16Le(text);
}

// The text of a file on the memory disk as UTF-8 (empty when absent), for readable failures.
inline std::string FileText(const MemoryIniDisk& disk, const Text& path) {
  auto bytes = disk.Bytes(path);
  return bytes ? U8(ini::DecodeFile(*bytes).text) : std::string();
}

}  // namespace tolvex::testing
