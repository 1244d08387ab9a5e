#include "winkit/registry_text.h"

#include "winkit/wide_text.h"

namespace winkit {

std::optional<common::Text> QueryRegistryText(HKEY key, const common::Text& name, LONG& status) {
  char16_t small[256];
  DWORD type = 0, bytes = sizeof small;
  status = RegQueryValueExW(key, Wide(name), nullptr, &type, reinterpret_cast<BYTE*>(small), &bytes);
  common::Text value;
  if (status == ERROR_SUCCESS) {
    value.assign(small, bytes / sizeof(char16_t));
  } else if (status == ERROR_MORE_DATA) {
    for (;;) {
      value.assign(bytes / sizeof(char16_t) + 1, u'\0');
      DWORD got = static_cast<DWORD>(value.size() * sizeof(char16_t));
      status = RegQueryValueExW(key, Wide(name), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &got);
      if (status == ERROR_MORE_DATA) {  // grown in between: ask again
        bytes = got;
        continue;
      }
      if (status != ERROR_SUCCESS) return std::nullopt;
      value.resize(got / sizeof(char16_t));
      break;
    }
  } else {
    return std::nullopt;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  while (!value.empty() && value.back() == u'\0') value.pop_back();  // the stored terminator
  return value;
}

}  // namespace winkit
