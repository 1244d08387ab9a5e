#pragma once
// Arguments as a client hands them to IDispatch::Invoke. A text argument borrows the
// BSTR of the caller's winkit::Bstr, which must outlive the call.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "winkit/handles.h"

namespace wine_test {

inline VARIANT Ref(VARIANT* target) {  // VT_BYREF | VT_VARIANT
  VARIANT v;
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = target;
  return v;
}
inline VARIANT Str(const winkit::Bstr& text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text.get();
  return v;
}
inline VARIANT I2(short value) {
  VARIANT v;
  V_VT(&v) = VT_I2;
  V_I2(&v) = value;
  return v;
}
inline VARIANT I4(long value) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}
inline VARIANT R8(double value) {
  VARIANT v;
  V_VT(&v) = VT_R8;
  V_R8(&v) = value;
  return v;
}
inline VARIANT Missing() {  // an optional argument left out: VT_ERROR DISP_E_PARAMNOTFOUND
  VARIANT v;
  V_VT(&v) = VT_ERROR;
  V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
  return v;
}
// A VT_BSTR's text, else "<vt N>".
inline std::wstring TextOf(const VARIANT& value) {
  if (V_VT(&value) != VT_BSTR) return L"<vt " + std::to_wstring(V_VT(&value)) + L">";
  return std::wstring(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
}

}  // namespace wine_test
