#pragma once
// An error in the automation convention: a number and a description.
// A failure code of the form 0x800Axxxx carries the number xxxx; any other failure
// code is its own number (a negative 32-bit value). Errors raised back into the
// platform turn numbers 1..65535 into 0x800A0000 | number.
#include <cstdint>
#include <stdexcept>

#include "common/text.h"

namespace common {

class AutomationError : public std::runtime_error {
 public:
  AutomationError(int32_t number, Text description);

  // From a platform failure code and its description.
  static AutomationError FromResult(uint32_t hresult, Text description);

  int32_t number() const noexcept { return number_; }
  const Text& description() const noexcept { return description_; }
  // The failure code that carries this error back through the platform.
  uint32_t result_code() const noexcept;

 private:
  int32_t number_;
  Text description_;
};

// Numbers used by the components for their own errors (the familiar automation ones).
namespace error_number {
constexpr int32_t kInvalidArgument = 5;      // "Invalid procedure call or argument"
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kBadFileName = 52;         // "Bad file name or number"
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kPathFileAccess = 75;      // "Path/File access error"
constexpr int32_t kPathNotFound = 76;
constexpr int32_t kObjectRequired = 424;
constexpr int32_t kCannotCreateObject = 429; // "ActiveX component can't create object"
constexpr int32_t kNoSuchMember = 438;       // "Object doesn't support this property or method"
}  // namespace error_number

}  // namespace common
