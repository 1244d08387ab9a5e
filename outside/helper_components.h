#pragma once
// The two companion components of the same maker, reached only by member name.
#include "outside/automation.h"

namespace outside {

inline constexpr char16_t kRunTimeProgId[] = u"TOLVEX11.clsTolvex11RunTimeA";
inline constexpr char16_t kIniFileHandlerProgId[] = u"TOLVEX10.clsTolvexINIFileHandler1A";

// The run-time support component.
class RunTimeSupport {
 public:
  explicit RunTimeSupport(ObjectRef object);
  // EnvironGet(kind, name); kind 2 asks the process environment.
  Value EnvironGet(int16_t kind, const Text& name);

 private:
  ObjectRef object_;
};

// The INI file handler: path, section and key select what Value reads or stores.
class IniFileHandler {
 public:
  explicit IniFileHandler(ObjectRef object);
  void SetPath(const Text& path);
  void SetSection(const Text& section);
  void SetKey(Value key);  // text, or a number standing for its text form
  Value Key();
  Value GetValue();
  void SetValue(Value value);
  // Fills `names` (read at indices 1..upper bound) and returns the count, 0 for none.
  int32_t EnumerateCurrentSection(Value& names);
  // Puts Path and holds the file's lock for the calls until the hold goes, when the
  // handler is our own (AutomationObject::HoldFile); none for any other handler.
  std::unique_ptr<FileHold> Hold(const Text& path);

 private:
  ObjectRef object_;
};

// Throws error 91 when `object` is none, as using an unset object variable does.
AutomationObject& Require(const ObjectRef& object);

}  // namespace outside
