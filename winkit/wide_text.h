#pragma once
// The portable code's text and the platform's wide strings hold the same UTF-16 code
// units: these views convert without copying.
#include <windows.h>

#include <string>

#include "common/text.h"

namespace winkit {

inline const wchar_t* Wide(const common::Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline const wchar_t* Wide(common::TextView text) { return reinterpret_cast<const wchar_t*>(text.data()); }
inline wchar_t* Wide(common::Text& text) { return reinterpret_cast<wchar_t*>(text.data()); }
inline common::TextView TextOf(const wchar_t* text, size_t length) {
  return common::TextView(reinterpret_cast<const char16_t*>(text), length);
}
inline common::TextView TextOf(const wchar_t* text) { return TextOf(text, text ? wcslen(text) : 0); }
// Copies, for text the platform keeps or the caller changes.
inline std::wstring WideCopy(common::TextView text) { return std::wstring(Wide(text), text.size()); }
inline common::Text TextCopy(const std::wstring& text) { return common::Text(TextOf(text.c_str(), text.size())); }

}  // namespace winkit
