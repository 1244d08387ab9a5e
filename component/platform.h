#pragma once
// What the component needs from the platform, behind small interfaces: the
// settings store, automation objects created by ProgID, the text form of values,
// and message boxes. Windows supplies the real ones; native tests supply fakes.
#include <memory>

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

// The current local date and time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Value::Date Now() = 0;
};

// Named locks shared by every process of the user. A lock is held from Acquire
// until the returned guard is destroyed.
class CrossProcessLocks {
 public:
  class Guard {
   public:
    virtual ~Guard() = default;
  };
  virtual ~CrossProcessLocks() = default;
  virtual std::unique_ptr<Guard> Acquire(TextView name) = 0;
};

// The live message window: a small window at the screen's top-left corner whose
// only control is a text box holding the latest message line.
class LiveMessageWindow {
 public:
  virtual ~LiveMessageWindow() = default;
  // Shows the window modeless, without an owner; loads it (back at the corner)
  // when it is not loaded. A shown window stays as it is.
  virtual void Show() = 0;
  // Replaces the whole text of the text box.
  virtual void SetText(TextView text) = 0;
};

class WindowFactory {
 public:
  virtual ~WindowFactory() = default;
  virtual std::unique_ptr<LiveMessageWindow> CreateLiveMessageWindow() = 0;
};

struct Platform {
  settings::SettingsStore& settings;
  outside::ObjectFactory& objects;
  ValueFormat& format;
  MessageBoxes& boxes;
  Clock& clock;
  CrossProcessLocks& locks;
  WindowFactory& windows;
};

}  // namespace component
