#pragma once
// Automation objects reached by member name (late binding), as the core sees them.
// On Windows an AutomationObject wraps an IDispatch; in native tests it is an
// in-process object. Values are the platform's variants reduced to what the system uses.
#include <cstdint>
#include <memory>
#include <span>
#include <variant>
#include <vector>

#include "common/automation_error.h"
#include "common/text.h"

namespace outside {

using common::Text;
using common::TextView;

class AutomationObject;
using ObjectRef = std::shared_ptr<AutomationObject>;

// A variant value. Kinds that the system only passes through (dates, currency)
// keep their platform meaning so that their text is the platform's.
class Value {
 public:
  struct Empty {};
  struct Null {};
  struct Missing {};  // an optional argument the caller left out
  struct Date {
    double serial;  // days since 30 Dec 1899, the fraction is the time of day
  };
  struct Currency {
    int64_t scaled;  // value * 10000
  };
  struct TextArray {
    int32_t lower_bound = 0;
    std::vector<Text> items;
  };
  enum class IntegerWidth : uint8_t { I1, I2, I4, I8, UI1, UI2, UI4, UI8 };
  struct Integer {
    int64_t value;
    IntegerWidth width;
  };

  Value() = default;
  Value(Text text) : data_(std::move(text)) {}
  Value(const char16_t* text) : data_(Text(text)) {}
  Value(double number) : data_(number) {}
  Value(bool flag) : data_(flag) {}
  Value(ObjectRef object) : data_(std::move(object)) {}
  Value(Integer integer) : data_(integer) {}
  Value(Date date) : data_(date) {}
  Value(Currency money) : data_(money) {}
  Value(Null) : data_(Null{}) {}
  Value(Missing) : data_(Missing{}) {}
  Value(TextArray array) : data_(std::move(array)) {}

  static Value I2(int16_t v) { return Value(Integer{v, IntegerWidth::I2}); }
  static Value I4(int32_t v) { return Value(Integer{v, IntegerWidth::I4}); }

  bool IsEmpty() const { return std::holds_alternative<Empty>(data_); }
  bool IsNull() const { return std::holds_alternative<Null>(data_); }
  bool IsMissing() const { return std::holds_alternative<Missing>(data_); }
  const Text* AsText() const { return std::get_if<Text>(&data_); }
  const double* AsDouble() const { return std::get_if<double>(&data_); }
  const bool* AsBool() const { return std::get_if<bool>(&data_); }
  const Integer* AsInteger() const { return std::get_if<Integer>(&data_); }
  const Date* AsDate() const { return std::get_if<Date>(&data_); }
  const TextArray* AsTextArray() const { return std::get_if<TextArray>(&data_); }

  using Data = std::variant<Empty, Null, Missing, bool, Integer, double, Currency, Date, Text, ObjectRef,
                            TextArray>;
  const Data& data() const { return data_; }

 private:
  Data data_;
};

enum class CallKind { Method, PropertyGet, PropertyPut, PropertyPutRef };

// A lock held through an object until the hold is destroyed (AutomationObject::HoldFile).
class FileHold {
 public:
  virtual ~FileHold() = default;
};

class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
  // Calls the member `name`. Arguments are passed by reference: the callee may
  // change them and the caller sees the change. For puts the last argument is the
  // value assigned. Failures throw common::AutomationError.
  virtual Value Invoke(TextView name, CallKind kind, std::span<Value> args) = 0;
  // Our own INI file handler's private side, which other objects lack: puts the handler's
  // Path and holds the content lock of that file until the returned hold is destroyed, so
  // that every call to the handler in between runs under that one lock and no other
  // program changes the file meanwhile. None for an object without it.
  virtual std::unique_ptr<FileHold> HoldFile(TextView path);

  Value Get(TextView name) { return Invoke(name, CallKind::PropertyGet, {}); }
  void Put(TextView name, Value value) { Invoke(name, CallKind::PropertyPut, std::span<Value>(&value, 1)); }
};

inline std::unique_ptr<FileHold> AutomationObject::HoldFile(TextView) { return nullptr; }

// Creates automation objects by ProgID.
class ObjectFactory {
 public:
  virtual ~ObjectFactory() = default;
  // Throws common::AutomationError (429 when the class cannot be created).
  virtual ObjectRef Create(TextView prog_id) = 0;
};

}  // namespace outside
