#pragma once
// The settings store in the per-user registry, at the platform's standard place
// for settings addressed by application, section and key:
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// with one REG_SZ value per key. A "\" in the application name nests a level.
#include "settings/settings_store.h"

namespace settings {

class RegistrySettingsStore : public SettingsStore {
 public:
  Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text = u"") override;
  // Throws common::AutomationError when the registry refuses the write; an empty
  // application, section or key is refused with error 5.
  void WriteSetting(TextView app, TextView section, TextView key, TextView text) override;

  static Text KeyPath(TextView app, TextView section);
};

}  // namespace settings
