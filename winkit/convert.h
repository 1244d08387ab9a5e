#pragma once
// Automation values as the portable code takes them.
#include <windows.h>
#include <oleauto.h>

#include "common/text.h"

namespace winkit {

// Text or a number as text: whole numbers without a decimal point ("0", "12", "-3"),
// others in the invariant form ("1.5"). Empty for VT_EMPTY. By-reference values are
// followed. Raises AutomationError 94 for Null and 13 for anything else.
common::Text VariantText(const VARIANT& value);

// A VT_BSTR variant holding text.
VARIANT TextVariant(common::TextView text);

}  // namespace winkit
