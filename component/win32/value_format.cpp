#include "component/win32/value_format.h"

#include <windows.h>
#include <oleauto.h>

#include "outside/win32/dispatch_client.h"
#include "outside/win32/variant_value.h"

namespace component {

Text VariantValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsNull() || value.IsEmpty()) return Text();
  const Value::Date* date = value.AsDate();
  if (date && has_last_date_ && date->serial == last_date_) return last_date_text_;
  VARIANT in, out;
  outside::ToVariant(value, in);
  VariantInit(&out);
  HRESULT hr = VariantChangeTypeEx(&out, &in, LOCALE_USER_DEFAULT, 0, VT_BSTR);
  VariantClear(&in);
  if (FAILED(hr)) throw outside::ErrorFromResult(hr);
  Text text(reinterpret_cast<const char16_t*>(V_BSTR(&out)), SysStringLen(V_BSTR(&out)));
  VariantClear(&out);
  if (date) {
    last_date_ = date->serial;
    last_date_text_ = text;
    has_last_date_ = true;
  }
  return text;
}

}  // namespace component
