#pragma once
// The settings store in the per-user registry, at the platform's standard place
// for settings addressed by application, section and key:
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// with one REG_SZ value per key. A "\" in the application name nests a level.
//
// Section keys stay open once used, and values read from them are kept until the
// registry reports a change of that key (by any process), so that a setting read
// for every message costs a registry call only when it really changed. One store
// serves one thread.
#include <map>
#include <optional>

#include "settings/settings_store.h"
#include "winkit/handles.h"

namespace settings {

class RegistrySettingsStore : public SettingsStore {
 public:
  Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text = u"") override;
  // Throws common::AutomationError when the registry refuses the write; an empty
  // application, section or key is refused with error 5.
  void WriteSetting(TextView app, TextView section, TextView key, TextView text) override;

  static Text KeyPath(TextView app, TextView section);

 private:
  struct Section {
    winkit::Key key;
    winkit::Handle changed;  // signalled by the registry when the key changes
    std::map<Text, std::optional<Text>> values;  // by upper-cased name; none = absent
  };
  // The open section, or null when it does not exist and `create` is false.
  Section* Open(TextView app, TextView section, bool create);
  void Watch(Section& section);
  void Forget(TextView app, TextView section);

  std::map<Text, Section> sections_;  // by upper-cased key path
};

}  // namespace settings
