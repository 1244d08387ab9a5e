#pragma once
// The per-user settings store: texts addressed by application name, section and key.
// An application name may hold "\", which separates levels of the tree.
#include <vector>

#include "common/text.h"

namespace settings {

using common::Text;
using common::TextView;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or `default_text` when the application, section or key is absent.
  virtual Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text = u"") = 0;
  // Several keys of one section read together, as they stand at one moment; an empty
  // text for each absent one. A store that watches for changes checks once for all.
  virtual std::vector<Text> ReadSettings(TextView app, TextView section, const std::vector<TextView>& keys) {
    std::vector<Text> texts;
    for (TextView key : keys) texts.push_back(ReadSetting(app, section, key));
    return texts;
  }
  // Stores the text, creating the levels, section and key as needed.
  virtual void WriteSetting(TextView app, TextView section, TextView key, TextView text) = 0;
};

}  // namespace settings
