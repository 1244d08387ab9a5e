#include "settings/win32/registry_settings_store.h"

#include "common/automation_error.h"
#include "winkit/errors.h"
#include "winkit/registry_text.h"
#include "winkit/wide_text.h"

namespace settings {

namespace {

constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_NOTIFY;

common::AutomationError RegistryError(LONG status, const Text& what) {
  Text text = what;
  Text message = winkit::SystemMessage(static_cast<DWORD>(status));
  if (!message.empty()) text += u": " + message;
  return common::AutomationError::FromResult(HRESULT_FROM_WIN32(static_cast<DWORD>(status)), text);
}

constexpr wchar_t kRoot[] = L"Software\\VB and VBA Program Settings";

}  // namespace

Text RegistrySettingsStore::KeyPath(TextView app, TextView section) {
  Text path = reinterpret_cast<const char16_t*>(kRoot);
  path += u'\\';
  path += app;
  path += u'\\';
  path += section;
  return path;
}

void RegistrySettingsStore::Watch(Section& section) {
  section.watched = false;
  if (!tree_watched_) WatchTree();
  if (!tree_watched_) return;  // a removal would go unnoticed: keep nothing
  if (!section.changed) section.changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  constexpr DWORD kChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  section.watched = section.changed && RegNotifyChangeKeyValue(section.key.get(), FALSE, kChanges,
                                                               section.changed.get(), TRUE) == ERROR_SUCCESS;
}

RegistrySettingsStore::Section* RegistrySettingsStore::Open(TextView app, TextView section, bool create) {
  Text path = KeyPath(app, section);
  Text folded = common::AsciiUpper(path);
  auto it = sections_.find(folded);
  if (it != sections_.end()) return &it->second;
  Section fresh;
  LONG status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, winkit::Wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess,
                                         nullptr, fresh.key.put(), nullptr)
                       : RegOpenKeyExW(HKEY_CURRENT_USER, winkit::Wide(path), 0, kAccess, fresh.key.put());
  if (status != ERROR_SUCCESS) {
    if (create) throw RegistryError(status, u"Cannot create the settings key");
    return nullptr;
  }
  return &sections_.emplace(std::move(folded), std::move(fresh)).first->second;
}

void RegistrySettingsStore::WatchTree() {
  root_.reset();
  tree_watched_ = false;
  if (!tree_changed_) tree_changed_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!tree_changed_ || RegOpenKeyExW(HKEY_CURRENT_USER, kRoot, 0, KEY_NOTIFY, root_.put()) != ERROR_SUCCESS) return;
  tree_watched_ = RegNotifyChangeKeyValue(root_.get(), TRUE, REG_NOTIFY_CHANGE_NAME, tree_changed_.get(), TRUE) ==
                  ERROR_SUCCESS;
}

void RegistrySettingsStore::ForgetAll() {
  sections_.clear();
  root_.reset();
  tree_watched_ = false;
}

void RegistrySettingsStore::Forget(TextView app, TextView section) {
  sections_.erase(common::AsciiUpper(KeyPath(app, section)));
}

std::vector<std::optional<Text>> RegistrySettingsStore::ReadValues(TextView app, TextView section,
                                                                   const std::vector<TextView>& keys) {
  std::vector<std::optional<Text>> values(keys.size());
  if (app.empty() || section.empty()) return values;
  for (int attempt = 0; attempt < 3; ++attempt) {
    Section* open = Open(app, section, false);
    if (!open) return values;
    if (open->watched) {
      // One look at both: the section's own changes, and keys removed or added anywhere
      // below the root (a removed key reports nothing itself everywhere).
      HANDLE changes[2] = {open->changed.get(), tree_changed_.get()};
      DWORD seen = WaitForMultipleObjects(2, changes, FALSE, 0);
      if (seen == WAIT_OBJECT_0 + 1) {
        ForgetAll();  // any open section may be a removed key: open them again
        continue;
      }
      if (seen != WAIT_TIMEOUT) {
        open->watched = false;  // changed since (or cannot tell): what was kept is stale
        open->values.clear();
      }
    }
    bool removed = false;
    for (size_t i = 0; i < keys.size() && !removed; ++i) {
      Text name(keys[i]);
      Text folded = common::AsciiUpper(name);
      if (open->watched) {
        auto cached = open->values.find(folded);
        if (cached != open->values.end()) {
          values[i] = cached->second;
          continue;
        }
      }
      // The watch is armed before the read, so a change after the read ends it. A section
      // written since its last read is read without one: the next write would end it.
      if (!open->watched && !open->written) Watch(*open);
      open->written = false;
      LONG status = ERROR_SUCCESS;
      values[i] = winkit::QueryRegistryText(open->key.get(), name, status);
      if (status == ERROR_KEY_DELETED)
        removed = true;
      else if (open->watched)
        open->values[folded] = values[i];
    }
    if (!removed) return values;
    Forget(app, section);  // removed by someone else: look it up again
    values.assign(keys.size(), std::nullopt);
  }
  return values;
}

Text RegistrySettingsStore::ReadSetting(TextView app, TextView section, TextView key, TextView default_text) {
  std::optional<Text> value = ReadValues(app, section, {key}).front();
  return value ? *value : Text(default_text);
}

std::vector<Text> RegistrySettingsStore::ReadSettings(TextView app, TextView section,
                                                      const std::vector<TextView>& keys) {
  std::vector<Text> texts;
  for (std::optional<Text>& value : ReadValues(app, section, keys)) texts.push_back(value ? std::move(*value) : Text());
  return texts;
}

void RegistrySettingsStore::WriteSetting(TextView app, TextView section, TextView key, TextView text) {
  if (app.empty() || section.empty() || key.empty())
    throw common::AutomationError(5, u"Invalid procedure call or argument: a setting needs an application, a section and a key");
  Text name(key), data(text);
  data.push_back(u'\0');
  for (int attempt = 0;; ++attempt) {
    Section* open = Open(app, section, true);
    LONG status = RegSetValueExW(open->key.get(), winkit::Wide(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size() * sizeof(char16_t)));
    if (status == ERROR_KEY_DELETED && attempt == 0) {
      Forget(app, section);
      continue;
    }
    if (status != ERROR_SUCCESS) throw RegistryError(status, u"Cannot store the setting");
    // The registry reports this change too, which ends the watch: nothing kept is trusted.
    open->watched = false;
    open->values.clear();
    open->written = true;
    return;
  }
}

}  // namespace settings
