#include "tests/support/memory_settings_store.h"

namespace settings {

Text MemorySettingsStore::Fold(TextView app, TextView section, TextView key) {
  Text path(app);
  path += u'\\';
  path += section;
  path += u'\\';
  path += key;
  return common::AsciiUpper(path);
}

Text MemorySettingsStore::ReadSetting(TextView app, TextView section, TextView key, TextView default_text) {
  auto it = values_.find(Fold(app, section, key));
  return it == values_.end() ? Text(default_text) : it->second.text;
}

void MemorySettingsStore::WriteSetting(TextView app, TextView section, TextView key, TextView text) {
  ++writes_;
  Text folded = Fold(app, section, key);
  auto it = values_.find(folded);
  if (it != values_.end()) {
    it->second.text = Text(text);
    return;
  }
  Text path(app);
  path += u'\\';
  path += section;
  path += u'\\';
  path += key;
  values_.emplace(std::move(folded), Entry{std::move(path), Text(text)});
}

std::map<Text, Text> MemorySettingsStore::Snapshot() const {
  std::map<Text, Text> out;
  for (const auto& [folded, entry] : values_) out.emplace(entry.path, entry.text);
  return out;
}

}  // namespace settings
