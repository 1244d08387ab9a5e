#pragma once
// The error report of the trapped methods: a warning box (style 48, OK only)
// whose text is the error's description and whose title is the error number, " -"
// and the method's name, e.g. "13 -AddDebugMessage".
#include <exception>

#include "common/automation_error.h"
#include "component/platform.h"

namespace component {

inline constexpr uint32_t kErrorReportStyle = 48;  // OK button, exclamation icon

common::Text ErrorReportTitle(int32_t number, TextView method);

// The error behind an exception: automation errors as they are, anything else
// as the automation error it stands for.
common::AutomationError ErrorFromException(std::exception_ptr error);

// Runs `body`; any error it raises is shown in the error report and swallowed.
template <typename Body>
void RunTrapped(MessageBoxes& boxes, TextView method, Body&& body) {
  try {
    body();
  } catch (...) {
    common::AutomationError error = ErrorFromException(std::current_exception());
    boxes.Show(error.description(), ErrorReportTitle(error.number(), method), kErrorReportStyle);
  }
}

}  // namespace component
