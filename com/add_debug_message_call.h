#pragma once
// One call of AddDebugMessage, from its platform arguments to the core and back:
// texts and the level are taken as the caller passed them (left out: empty text and
// 0), the variants are followed when passed by reference, and a "-" that the call
// stores into vExtra is written back into the caller's variable.
#include <windows.h>
#include <oaidl.h>

#include "component/debugger_commands.h"

namespace velk {

inline constexpr DISPID kAddDebugMessageId = 0x60030003;

class AddDebugMessageCall {
 public:
  void SetText(int position, common::Text text);  // 0 sMessage, 1 sType, 2 sName
  void SetLevel(int16_t level) { message_.level = level; }
  // `variable` is the caller's: written back when the call changes vExtra. When
  // `by_value` is set, a value that is not by reference has no variable behind it.
  void SetExtra(VARIANT* variable, bool by_value = false);
  void SetCoExtra(const VARIANT* value);
  void Run(component::Debugger& debugger);

 private:
  component::DebugMessage message_;
  outside::Value extra_ = outside::Value(outside::Value::Missing{});
  outside::Value co_extra_ = outside::Value(outside::Value::Missing{});
  VARIANT* extra_variable_ = nullptr;
  bool extra_by_value_ = false;
};

// IDispatch::Invoke of AddDebugMessage: positional and named arguments, missing
// ones, by-reference variables, the standard dispatch errors.
HRESULT InvokeAddDebugMessage(component::Debugger& debugger, DISPPARAMS* params, VARIANT* result, UINT* arg_error);

}  // namespace velk
