#pragma once
// The settings store in the per-user registry, at the platform's standard place
// for settings addressed by application, section and key:
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// with one REG_SZ value per key. A "\" in the application name nests a level.
//
// Section keys stay open once used. Values read from a section are kept while the
// registry watches the key for us, until it reports a change (by any process), so that
// a setting read for every message costs one wait on the change event, and a registry
// read only when it really changed. A section that this store writes between reads
// (the registry log) is read straight from the registry and nothing of it is kept: its
// own writes would end every watch at once. Two reads in a row start a watch again.
// A key removed with its tree does not report a change of its own everywhere (Wine
// signals nothing), so values are kept only while the store also watches the settings
// root for keys added or removed below it; when that fires, every open section is
// opened again. A write to a removed key fails and opens its section again.
// One store serves one thread.
#include <map>
#include <optional>
#include <vector>

#include "settings/settings_store.h"
#include "winkit/handles.h"

namespace settings {

class RegistrySettingsStore : public SettingsStore {
 public:
  Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text = u"") override;
  std::vector<Text> ReadSettings(TextView app, TextView section, const std::vector<TextView>& keys) override;
  // Throws common::AutomationError when the registry refuses the write; an empty
  // application, section or key is refused with error 5.
  void WriteSetting(TextView app, TextView section, TextView key, TextView text) override;

  static Text KeyPath(TextView app, TextView section);

 private:
  struct Section {
    winkit::Key key;
    winkit::Handle changed;  // signalled by the registry when the key changes
    bool watched = false;    // a watch is armed and has not been seen to fire
    bool written = false;    // written by this store since its last read
    std::map<Text, std::optional<Text>> values;  // by upper-cased name, kept only while watched; none = absent
  };
  // The values of `keys` (none for an absent one) after one look for changes.
  std::vector<std::optional<Text>> ReadValues(TextView app, TextView section, const std::vector<TextView>& keys);
  // The open section, or null when it does not exist and `create` is false.
  Section* Open(TextView app, TextView section, bool create);
  // Asks the registry to signal the section's change event at its next change.
  void Watch(Section& section);
  void Forget(TextView app, TextView section);
  // Asks the registry to signal tree_changed_ when keys below the root come or go.
  void WatchTree();
  void ForgetAll();

  std::map<Text, Section> sections_;  // by upper-cased key path
  winkit::Key root_;                   // the settings root, while it exists
  winkit::Handle tree_changed_;        // signalled when keys below the root come or go
  bool tree_watched_ = false;
};

}  // namespace settings
