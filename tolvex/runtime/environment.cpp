#include "tolvex/runtime/environment.h"

#include <windows.h>

#include <string>

#include "common/automation_error.h"
#include "winkit/handles.h"
#include "winkit/registry_text.h"
#include "winkit/wide_text.h"

namespace tolvex {

namespace {

using common::Text;

using winkit::Wide;

Text ProcessValue(const Text& name) {
  Text value(256, u'\0');
  for (;;) {
    DWORD n = GetEnvironmentVariableW(Wide(name), Wide(value),
                                      static_cast<DWORD>(value.size()));
    if (n == 0) return {};  // not set, or set to nothing
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.resize(n);  // n counts the terminating NUL when the buffer was too small
  }
}

// The value as stored (REG_EXPAND_SZ unexpanded); empty when absent or not text.
Text StoredValue(HKEY root, const wchar_t* key_path, const Text& name, const char16_t* store) {
  winkit::Key key;
  LSTATUS status = RegOpenKeyExW(root, key_path, 0, KEY_QUERY_VALUE, key.put());
  if (status == ERROR_SUCCESS) {
    std::optional<Text> value = winkit::QueryRegistryText(key.get(), name, status);
    if (value) return *value;
    if (status == ERROR_SUCCESS) return {};  // not text
  }
  if (status == ERROR_FILE_NOT_FOUND) return {};
  const Text what = Text(u"the ") + store + u" environment cannot be read (system error " +
                    common::IntegerText(status) + u")";
  if (status == ERROR_ACCESS_DENIED)
    throw common::AutomationError(common::error_number::kPermissionDenied, u"Permission denied: " + what);
  throw common::AutomationError::FromResult(HRESULT_FROM_WIN32(status), u"EnvironGet: " + what);
}

}  // namespace

Text EnvironmentValue(short kind, const Text& name) {
  const auto known = static_cast<EnvironmentKind>(kind);
  if (known != EnvironmentKind::kUser && known != EnvironmentKind::kProcess && known != EnvironmentKind::kMachine)
    throw common::AutomationError(common::error_number::kInvalidArgument,
                                  u"Invalid procedure call or argument: EnvironGet kind " + common::IntegerText(kind) +
                                      u" is not 1 (user), 2 (process) or 3 (machine)");
  // No variable name holds NUL (nor is empty); such a name is simply not set.
  if (name.empty() || name.find(u'\0') != Text::npos) return {};
  switch (known) {
    case EnvironmentKind::kUser:
      return StoredValue(HKEY_CURRENT_USER, L"Environment", name, u"user");
    case EnvironmentKind::kProcess:
      return ProcessValue(name);
    case EnvironmentKind::kMachine:
      return StoredValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                         name, u"machine");
  }
  return {};
}

}  // namespace tolvex
