#include "outside/helper_components.h"

namespace outside {

AutomationObject& Require(const ObjectRef& object) {
  if (!object) throw common::AutomationError(91, u"Object variable or With block variable not set");
  return *object;
}

RunTimeSupport::RunTimeSupport(ObjectRef object) : object_(std::move(object)) {}

Value RunTimeSupport::EnvironGet(int16_t kind, const Text& name) {
  Value args[] = {Value::I2(kind), Value(name)};
  return Require(object_).Invoke(u"EnvironGet", CallKind::Method, args);
}

IniFileHandler::IniFileHandler(ObjectRef object) : object_(std::move(object)) {}

void IniFileHandler::SetPath(const Text& path) { Require(object_).Put(u"Path", Value(path)); }
void IniFileHandler::SetSection(const Text& section) { Require(object_).Put(u"Section", Value(section)); }
void IniFileHandler::SetKey(Value key) { Require(object_).Put(u"Key", std::move(key)); }
Value IniFileHandler::Key() { return Require(object_).Get(u"Key"); }
Value IniFileHandler::GetValue() { return Require(object_).Get(u"Value"); }
void IniFileHandler::SetValue(Value value) { Require(object_).Put(u"Value", std::move(value)); }
std::unique_ptr<FileHold> IniFileHandler::Hold(const Text& path) { return Require(object_).HoldFile(path); }

int32_t IniFileHandler::EnumerateCurrentSection(Value& names) {
  Value args[] = {names, Value::I4(0)};
  Require(object_).Invoke(u"EnumerateCurrentSection", CallKind::Method, args);
  names = args[0];
  const auto* count = args[1].AsInteger();
  if (count) return static_cast<int32_t>(count->value);
  if (const double* d = args[1].AsDouble()) return static_cast<int32_t>(*d);
  return 0;
}

}  // namespace outside
