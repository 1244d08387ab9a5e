#include "common/automation_error.h"

namespace common {

AutomationError::AutomationError(int32_t number, Text description)
    : std::runtime_error(ToUtf8(description)), number_(number), description_(std::move(description)) {}

AutomationError AutomationError::FromResult(uint32_t hresult, Text description) {
  if ((hresult & 0xFFFF0000u) == 0x800A0000u)
    return AutomationError(static_cast<int32_t>(hresult & 0xFFFFu), std::move(description));
  return AutomationError(static_cast<int32_t>(hresult), std::move(description));
}

uint32_t AutomationError::result_code() const noexcept {
  if (number_ > 0 && number_ <= 0xFFFF) return 0x800A0000u | static_cast<uint32_t>(number_);
  return static_cast<uint32_t>(number_);
}

}  // namespace common
