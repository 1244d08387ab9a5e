#pragma once
// The per-user settings store: texts addressed by application name, section and key.
// An application name may hold "\", which separates levels of the tree.
#include "common/text.h"

namespace settings {

using common::Text;
using common::TextView;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or `default_text` when the application, section or key is absent.
  virtual Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text = u"") = 0;
  // Stores the text, creating the levels, section and key as needed.
  virtual void WriteSetting(TextView app, TextView section, TextView key, TextView text) = 0;
};

}  // namespace settings
