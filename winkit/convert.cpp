#include "winkit/convert.h"

#include <cmath>

#include "common/automation_error.h"
#include "winkit/handles.h"

namespace winkit {

namespace {

common::Text InvariantText(const VARIANT& value) {
  Variant text;
  HRESULT hr = VariantChangeTypeEx(text.put(), const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_BSTR);
  if (FAILED(hr)) throw common::AutomationError::FromResult(hr, u"The number cannot be written as text");
  return Bstr::ToText(V_BSTR(text.get()));
}

}  // namespace

common::Text VariantText(const VARIANT& value) {
  const VARIANT* v = &value;
  Variant plain;
  if (V_ISBYREF(v)) {
    HRESULT hr = VariantCopyInd(plain.put(), const_cast<VARIANT*>(v));
    if (FAILED(hr)) throw common::AutomationError::FromResult(hr, u"The argument cannot be read");
    v = plain.get();
  }
  switch (V_VT(v)) {
    case VT_BSTR:
      return Bstr::ToText(V_BSTR(v));
    case VT_EMPTY:
      return {};
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_INT: case VT_UINT: case VT_I8: case VT_UI8: case VT_CY: case VT_DECIMAL:
      return InvariantText(*v);
    case VT_R4: case VT_R8: {
      const double d = V_VT(v) == VT_R4 ? V_R4(v) : V_R8(v);
      if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e18)
        return common::IntegerText(static_cast<int64_t>(d));
      return InvariantText(*v);
    }
    case VT_NULL:
      throw common::AutomationError(94, u"Invalid use of Null: expected text or a number");
    default:
      throw common::AutomationError(common::error_number::kTypeMismatch,
                                    u"Type mismatch: expected text or a number");
  }
}

VARIANT TextVariant(common::TextView text) {
  VARIANT v;
  VariantInit(&v);
  V_BSTR(&v) = Bstr(text).release();
  V_VT(&v) = VT_BSTR;
  return v;
}

}  // namespace winkit
