#include "component/win32/value_format.h"

#include <windows.h>
#include <oleauto.h>

#include "outside/win32/dispatch_client.h"
#include "outside/win32/variant_value.h"
#include "winkit/handles.h"

namespace component {

Text VariantValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsNull() || value.IsEmpty()) return Text();
  const Value::Date* date = value.AsDate();
  if (date && has_last_date_ && date->serial == last_date_) return last_date_text_;
  winkit::Variant in, out;
  outside::ToVariant(value, *in.get());
  HRESULT hr = VariantChangeTypeEx(out.get(), in.get(), LOCALE_USER_DEFAULT, 0, VT_BSTR);
  if (FAILED(hr)) throw outside::ErrorFromResult(hr);
  Text text = winkit::Bstr::ToText(V_BSTR(out.get()));
  if (date) {
    last_date_ = date->serial;
    last_date_text_ = text;
    has_last_date_ = true;
  }
  return text;
}

}  // namespace component
