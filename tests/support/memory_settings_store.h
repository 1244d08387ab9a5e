#pragma once
// A settings store held in memory, with the registry's addressing rules: names
// compare without regard to ASCII letter case and "\" in an application name nests.
#include <map>

#include "settings/settings_store.h"

namespace settings {

class MemorySettingsStore : public SettingsStore {
 public:
  Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text = u"") override;
  void WriteSetting(TextView app, TextView section, TextView key, TextView text) override;

  // The stored path of each value, "app\section\key" with its first spelling kept.
  std::map<Text, Text> Snapshot() const;
  size_t writes() const { return writes_; }

 private:
  struct Entry {
    Text path;
    Text text;
  };
  static Text Fold(TextView app, TextView section, TextView key);
  std::map<Text, Entry> values_;  // by folded path
  size_t writes_ = 0;
};

}  // namespace settings
