#include "com/add_debug_message_call.h"

#include <oleauto.h>

#include "outside/win32/variant_value.h"
#include "winkit/errors.h"
#include "winkit/handles.h"

namespace velk {

namespace {

constexpr int kParams = 6;  // sMessage, sType, sName, iLevel, vExtra, vCoExtra

bool IsMissing(const VARIANT* value) {
  return !value || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND);
}

// Writes the text into the variable behind `slot`: through a reference, or into the
// variant itself when it is the caller's own.
void WriteText(VARIANT* slot, bool by_value, const common::Text& text) {
  if (!slot) return;
  if (V_VT(slot) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(slot)) {
    VARIANT* target = V_VARIANTREF(slot);
    VariantClear(target);
    *target = winkit::Variant().release();
    V_BSTR(target) = winkit::Bstr(text).release();
    V_VT(target) = VT_BSTR;
  } else if (V_VT(slot) == (VT_BYREF | VT_BSTR) && V_BSTRREF(slot)) {
    BSTR fresh = winkit::Bstr(text).release();
    SysFreeString(*V_BSTRREF(slot));
    *V_BSTRREF(slot) = fresh;
  } else if (!(V_VT(slot) & VT_BYREF) && !by_value) {
    VariantClear(slot);
    V_BSTR(slot) = winkit::Bstr(text).release();
    V_VT(slot) = VT_BSTR;
  }
}

}  // namespace

void AddDebugMessageCall::SetText(int position, common::Text text) {
  (position == 0 ? message_.message : position == 1 ? message_.type : message_.name) = std::move(text);
}

void AddDebugMessageCall::SetExtra(VARIANT* variable, bool by_value) {
  extra_variable_ = variable;
  extra_by_value_ = by_value;
  extra_ = IsMissing(variable) ? outside::Value(outside::Value::Missing{}) : outside::FromVariant(*variable);
}

void AddDebugMessageCall::SetCoExtra(const VARIANT* value) {
  co_extra_ = IsMissing(value) ? outside::Value(outside::Value::Missing{}) : outside::FromVariant(*value);
}

void AddDebugMessageCall::Run(component::Debugger& debugger) {
  const common::Text* before = extra_.AsText();
  const bool was_dash = before && *before == u"-";
  message_.extra = &extra_;
  message_.co_extra = &co_extra_;
  debugger.AddDebugMessage(message_);
  const common::Text* after = extra_.AsText();
  if (after && *after == u"-" && !was_dash && !IsMissing(extra_variable_))
    WriteText(extra_variable_, extra_by_value_, *after);
}

HRESULT InvokeAddDebugMessage(component::Debugger& debugger, DISPPARAMS* params, VARIANT* result, UINT* arg_error) {
  if (result) VariantInit(result);
  if (!params) return E_INVALIDARG;
  if (params->cArgs > kParams) return DISP_E_BADPARAMCOUNT;
  if (params->cNamedArgs > params->cArgs || (params->cNamedArgs && !params->rgdispidNamedArgs)) return E_INVALIDARG;

  // Arguments arrive last first; named ones come first in the array.
  VARIANT* slots[kParams] = {};
  UINT where[kParams] = {};  // index in rgvarg, for the argument-error position
  const UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT i = 0; i < positional; ++i) {
    where[i] = params->cArgs - 1 - i;
    slots[i] = &params->rgvarg[where[i]];
  }
  for (UINT n = 0; n < params->cNamedArgs; ++n) {
    DISPID id = params->rgdispidNamedArgs[n];
    if (id < 0 || id >= kParams || slots[id]) {
      if (arg_error) *arg_error = n;
      return DISP_E_PARAMNOTFOUND;
    }
    slots[id] = &params->rgvarg[n];
    where[id] = n;
  }
  if (IsMissing(slots[0])) return DISP_E_PARAMNOTOPTIONAL;

  AddDebugMessageCall call;
  for (int i = 0; i < 3; ++i) {
    if (IsMissing(slots[i])) continue;
    winkit::Variant text;
    HRESULT hr = VariantChangeType(text.get(), slots[i], 0, VT_BSTR);
    if (FAILED(hr)) {
      if (arg_error) *arg_error = where[i];
      return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    }
    call.SetText(i, winkit::Bstr::ToText(V_BSTR(text.get())));
  }
  if (!IsMissing(slots[3])) {
    winkit::Variant level;
    HRESULT hr = VariantChangeType(level.get(), slots[3], 0, VT_I2);
    if (FAILED(hr)) {
      if (arg_error) *arg_error = where[3];
      return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    }
    call.SetLevel(V_I2(level.get()));
  }
  for (int i : {4, 5}) {
    try {
      if (i == 4) call.SetExtra(slots[4], /*by_value=*/true);
      else call.SetCoExtra(slots[5]);
    } catch (const common::AutomationError&) {  // a value no variant conversion knows
      if (arg_error) *arg_error = where[i];
      return DISP_E_TYPEMISMATCH;
    }
  }
  call.Run(debugger);  // reports its own errors and returns normally
  return S_OK;
}

}  // namespace velk
