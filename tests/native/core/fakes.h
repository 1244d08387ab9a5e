#pragma once
// In-process stand-ins for what the platform provides.
#include <functional>
#include <map>
#include <vector>

#include "component/platform.h"
#include "settings/memory_settings_store.h"

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

// Invariant text forms: numbers in plain decimal, booleans as True/False.
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

// A complete fake platform with the two companion components registered.
struct FakePlatform {
  settings::MemorySettingsStore settings;
  FakeObjectFactory objects;
  PlainValueFormat format;
  RecordingMessageBoxes boxes;
  component::Platform platform{settings, objects, format, boxes};
  std::map<Text, Text> environment{{u"QVSUPPORT", u"C:\\support"}};

  FakePlatform();
};

}  // namespace fakes
