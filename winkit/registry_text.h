#pragma once
// A registry value read as text.
#include <windows.h>

#include <optional>

#include "common/text.h"

namespace winkit {

// The REG_SZ or REG_EXPAND_SZ (unexpanded) value `name` of `key`, without its stored
// terminator; none when it is absent (`status` is then ERROR_FILE_NOT_FOUND), of another
// type (ERROR_SUCCESS) or cannot be read. Usually one registry call: a buffer on the
// stack holds a short text; only a longer one asks again.
std::optional<common::Text> QueryRegistryText(HKEY key, const common::Text& name, LONG& status);

}  // namespace winkit
