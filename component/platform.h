#pragma once
// What the component needs from the platform, behind small interfaces: the
// settings store, automation objects created by ProgID, the text form of values,
// and message boxes. Windows supplies the real ones; native tests supply fakes.
#include "common/text.h"
#include "outside/automation.h"
#include "settings/settings_store.h"

namespace component {

using common::Text;
using common::TextView;
using outside::Value;

// Text forms of automation values under the user's locale.
class ValueFormat {
 public:
  virtual ~ValueFormat() = default;
  // The value converted to text the way the platform converts variants; a null
  // value gives the empty text. Throws common::AutomationError (13) when the value
  // has no text form (an object without a default value, an array).
  virtual Text TextOf(const Value& value) = 0;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A modal box without an owner; `style` is the platform's style value.
  virtual int Show(TextView text, TextView title, uint32_t style) = 0;
};

struct Platform {
  settings::SettingsStore& settings;
  outside::ObjectFactory& objects;
  ValueFormat& format;
  MessageBoxes& boxes;
};

}  // namespace component
