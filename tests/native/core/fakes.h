#pragma once
// In-process stand-ins for what the platform provides.
#include <functional>
#include <map>
#include <vector>

#include "component/platform.h"
#include "settings/memory_settings_store.h"
#include "tolvex/ini/ini_handler.h"
#include "tolvex/ini/memory_ini_storage.h"

namespace fakes {

using common::Text;
using common::TextView;
using outside::CallKind;
using outside::ObjectRef;
using outside::Value;

// An automation object whose members are lambdas, keyed by name and call kind.
class ScriptedObject : public outside::AutomationObject {
 public:
  using Member = std::function<Value(std::span<Value>)>;
  ScriptedObject& On(TextView name, CallKind kind, Member member) {
    members_[{Text(name), kind}] = std::move(member);
    return *this;
  }
  // A read-only property holding a fixed value.
  ScriptedObject& Property(TextView name, Value value) {
    return On(name, CallKind::PropertyGet, [value](std::span<Value>) { return value; });
  }
  Value Invoke(TextView name, CallKind kind, std::span<Value> args) override {
    calls.push_back(Text(name));
    auto it = members_.find({common::Text(name), kind});
    if (it == members_.end())
      throw common::AutomationError(438, u"Object doesn't support this property or method");
    return it->second(args);
  }
  std::vector<Text> calls;

 private:
  std::map<std::pair<Text, CallKind>, Member> members_;
};

// The run-time support component over a fixed environment.
inline std::shared_ptr<ScriptedObject> MakeRunTime(std::map<Text, Text> environment) {
  auto object = std::make_shared<ScriptedObject>();
  object->On(u"EnvironGet", CallKind::Method, [environment](std::span<Value> args) -> Value {
    const auto* kind = args[0].AsInteger();
    if (!kind || kind->value != 2 || kind->width != Value::IntegerWidth::I2)
      throw common::AutomationError(5, u"Invalid procedure call or argument");
    auto it = environment.find(*args[1].AsText());
    return Value(it == environment.end() ? Text() : it->second);
  });
  return object;
}

class FakeObjectFactory : public outside::ObjectFactory {
 public:
  std::map<Text, std::function<ObjectRef()>> classes;
  std::vector<Text> created;
  ObjectRef Create(TextView prog_id) override {
    auto it = classes.find(Text(prog_id));
    if (it == classes.end()) throw common::AutomationError(429, u"ActiveX component can't create object");
    created.push_back(Text(prog_id));
    return it->second();
  }
};

// Text forms as United States settings give them: numbers in plain decimal,
// booleans True/False, dates "12/8/2026 3:45:10 AM" (midnight: the date alone).
class PlainValueFormat : public component::ValueFormat {
 public:
  Text TextOf(const Value& value) override;
};

class RecordingMessageBoxes : public component::MessageBoxes {
 public:
  struct Box {
    Text text, title;
    uint32_t style;
  };
  std::vector<Box> shown;
  int Show(TextView text, TextView title, uint32_t style) override {
    shown.push_back({Text(text), Text(title), style});
    return 1;
  }
};

// The real INI engine on an in-memory disk, reached by member name like the
// registered component.
class InProcessIniHandler : public outside::AutomationObject {
 public:
  explicit InProcessIniHandler(tolvex::MemoryIniDisk& disk) : provider_(disk), handler_(provider_) {}
  Value Invoke(TextView name, CallKind kind, std::span<Value> args) override;
  int failures_left = -1;  // when 0, the next Value put fails with error 70

 private:
  tolvex::MemoryIniStorageProvider provider_;
  tolvex::IniHandler handler_;
};

class FixedClock : public component::Clock {
 public:
  double serial = 46364.15636574074;  // 8 Dec 2026 03:45:10
  Value::Date Now() override { return {serial}; }
};

// Records which locks are held, and checks that none is taken twice at once.
class RecordingLocks : public component::CrossProcessLocks {
 public:
  std::vector<Text> acquired;
  std::vector<Text> held;
  class Held : public Guard {
   public:
    Held(RecordingLocks& owner, Text name) : owner_(owner), name_(std::move(name)) {}
    ~Held() override { std::erase(owner_.held, name_); }

   private:
    RecordingLocks& owner_;
    Text name_;
  };
  std::unique_ptr<Guard> Acquire(TextView name) override;
};

class FakeLiveWindow : public component::LiveMessageWindow {
 public:
  bool visible = false;
  int loads = 0;
  Text text;
  void Show() override {
    if (!visible) ++loads;
    visible = true;
  }
  void SetText(TextView t) override { text = Text(t); }
};

class FakeWindows : public component::WindowFactory {
 public:
  std::vector<FakeLiveWindow*> live_windows;
  std::unique_ptr<component::LiveMessageWindow> CreateLiveMessageWindow() override {
    auto window = std::make_unique<FakeLiveWindow>();
    live_windows.push_back(window.get());
    return window;
  }
};

// A complete fake platform with the two companion components registered.
struct FakePlatform {
  settings::MemorySettingsStore settings;
  FakeObjectFactory objects;
  PlainValueFormat format;
  RecordingMessageBoxes boxes;
  FixedClock clock;
  RecordingLocks locks;
  FakeWindows windows;
  tolvex::MemoryIniDisk disk;
  std::vector<std::shared_ptr<InProcessIniHandler>> ini_handlers;
  component::Platform platform{settings, objects, format, boxes, clock, locks, windows};
  std::map<Text, Text> environment{{u"QVSUPPORT", u"C:\\support"}};

  FakePlatform();
};

}  // namespace fakes
