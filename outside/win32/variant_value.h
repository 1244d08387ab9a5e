#pragma once
// Automation values to and from the platform's VARIANT.
#include <oaidl.h>

#include "outside/automation.h"

namespace outside {

// Fills `out` (which must be cleared by the caller) with `value`.
// Objects must be IDispatch-backed (DispatchClient); others give error 13.
void ToVariant(const Value& value, VARIANT& out);
// Converts `in`, following a by-reference variant to its target.
Value FromVariant(const VARIANT& in);

}  // namespace outside
