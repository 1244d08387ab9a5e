#include "settings/win32/registry_settings_store.h"

#include <windows.h>

#include <memory>

#include "common/automation_error.h"

namespace settings {

namespace {

const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

common::AutomationError RegistryError(LONG status, const Text& what) {
  wchar_t* message = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  Text text = what;
  if (message) {
    text += u": ";
    text += reinterpret_cast<const char16_t*>(message);
    LocalFree(message);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
  }
  return common::AutomationError::FromResult(HRESULT_FROM_WIN32(static_cast<DWORD>(status)), text);
}

}  // namespace

Text RegistrySettingsStore::KeyPath(TextView app, TextView section) {
  Text path = u"Software\\VB and VBA Program Settings\\";
  path += app;
  path += u'\\';
  path += section;
  return path;
}

Text RegistrySettingsStore::ReadSetting(TextView app, TextView section, TextView key, TextView default_text) {
  if (app.empty() || section.empty()) return Text(default_text);
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, W(KeyPath(app, section)), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return Text(default_text);
  UniqueKey handle(raw);
  Text name(key);
  for (;;) {
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(raw, W(name), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return Text(default_text);
    if (type != REG_SZ && type != REG_EXPAND_SZ) return Text(default_text);
    Text value(bytes / sizeof(char16_t) + 1, u'\0');
    DWORD got = bytes;
    LONG status = RegQueryValueExW(raw, W(name), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &got);
    if (status == ERROR_MORE_DATA) continue;  // grown in between: ask again
    if (status != ERROR_SUCCESS) return Text(default_text);
    value.resize(got / sizeof(char16_t));
    if (!value.empty() && value.back() == u'\0') value.pop_back();  // the stored terminator
    return value;
  }
}

void RegistrySettingsStore::WriteSetting(TextView app, TextView section, TextView key, TextView text) {
  if (app.empty() || section.empty() || key.empty())
    throw common::AutomationError(5, u"Invalid procedure call or argument: a setting needs an application, a section and a key");
  HKEY raw = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, W(KeyPath(app, section)), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, &raw, nullptr);
  if (status != ERROR_SUCCESS) throw RegistryError(status, u"Cannot create the settings key");
  UniqueKey handle(raw);
  Text data(text);
  data.push_back(u'\0');
  status = RegSetValueExW(raw, W(Text(key)), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size() * sizeof(char16_t)));
  if (status != ERROR_SUCCESS) throw RegistryError(status, u"Cannot store the setting");
}

}  // namespace settings
