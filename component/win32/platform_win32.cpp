#include "component/win32/platform_win32.h"

#include <windows.h>
#include <oleauto.h>

#include "outside/win32/variant_value.h"

namespace component {

Text VariantValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsNull() || value.IsEmpty()) return Text();
  VARIANT in, out;
  outside::ToVariant(value, in);
  VariantInit(&out);
  HRESULT hr = VariantChangeTypeEx(&out, &in, LOCALE_USER_DEFAULT, 0, VT_BSTR);
  VariantClear(&in);
  if (FAILED(hr)) throw outside::ErrorFromResult(hr);
  Text text(reinterpret_cast<const char16_t*>(V_BSTR(&out)), SysStringLen(V_BSTR(&out)));
  VariantClear(&out);
  return text;
}

int Win32MessageBoxes::Show(TextView text, TextView title, uint32_t style) {
  Text body(text), caption(title);
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(body.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), style | MB_TASKMODAL);
}

}  // namespace component
