#include "outside/win32/dispatch_object.h"

#include <windows.h>
#include <dispex.h>
#include <oleauto.h>

#include <vector>

#include "outside/win32/variant_value.h"
#include "winkit/errors.h"

namespace outside {

namespace {

// IDispatchEx, which script engines' objects implement.
const IID kIidDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

Text TextOfBstr(BSTR text) {
  return text ? Text(reinterpret_cast<const char16_t*>(text), SysStringLen(text)) : Text();
}

Text SystemMessage(HRESULT result) {
  Text text = winkit::SystemMessage(static_cast<DWORD>(result));
  return text.empty() ? Text(u"Automation error") : text;
}

// Variants that Invoke fills and that must be cleared whatever happens.
struct Variants {
  std::vector<VARIANT> items;
  explicit Variants(size_t n) : items(n) {
    for (auto& v : items) VariantInit(&v);
  }
  ~Variants() {
    for (auto& v : items) VariantClear(&v);
  }
};

}  // namespace

common::AutomationError ErrorFromResult(HRESULT result, const EXCEPINFO* info) {
  if (result == DISP_E_EXCEPTION && info) {
    EXCEPINFO filled = *info;
    if (filled.pfnDeferredFillIn) filled.pfnDeferredFillIn(&filled);
    Text description = TextOfBstr(filled.bstrDescription);
    if (filled.wCode != 0) {
      if (description.empty()) description = u"Application-defined or object-defined error";
      return common::AutomationError(filled.wCode, description);
    }
    HRESULT code = filled.scode ? filled.scode : E_FAIL;
    if (description.empty()) description = SystemMessage(code);
    return common::AutomationError::FromResult(static_cast<uint32_t>(code), description);
  }
  switch (result) {  // the dispatch machinery's own failures, numbered as scripts know them
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
      return common::AutomationError(438, u"Object doesn't support this property or method");
    case DISP_E_TYPEMISMATCH:
      return common::AutomationError(13, u"Type mismatch");
    case DISP_E_BADPARAMCOUNT:
      return common::AutomationError(450, u"Wrong number of arguments or invalid property assignment");
    case DISP_E_PARAMNOTOPTIONAL:
      return common::AutomationError(449, u"Argument not optional");
    case DISP_E_OVERFLOW:
      return common::AutomationError(6, u"Overflow");
    case E_OUTOFMEMORY:
      return common::AutomationError(7, u"Out of memory");
    default:
      return common::AutomationError::FromResult(static_cast<uint32_t>(result), SystemMessage(result));
  }
}

DispatchObject::DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) { dispatch_->AddRef(); }

DispatchObject::~DispatchObject() { dispatch_->Release(); }

DISPID DispatchObject::Resolve(TextView name) {
  Text key(name);
  auto it = ids_.find(key);
  if (it != ids_.end()) return it->second;
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(key.data())};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    // Script class objects answer only through IDispatchEx.
    IDispatchEx* ex = nullptr;
    if (SUCCEEDED(dispatch_->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex)))) {
      BSTR bstr = SysAllocStringLen(names[0], static_cast<UINT>(key.size()));
      hr = ex->GetDispID(bstr, fdexNameCaseInsensitive, &id);
      SysFreeString(bstr);
      ex->Release();
    }
  }
  if (FAILED(hr)) throw ErrorFromResult(hr == E_NOTIMPL ? DISP_E_UNKNOWNNAME : hr);
  ids_.emplace(std::move(key), id);
  return id;
}

Value DispatchObject::Invoke(TextView name, CallKind kind, std::span<Value> args) {
  DISPID id = Resolve(name);
  // Arguments go in reverse order. Method arguments are passed by reference
  // (a by-reference variant pointing at our copy) so the callee can change them.
  const size_t n = args.size();
  Variants values(n), slots(n);
  for (size_t i = 0; i < n; ++i) ToVariant(args[i], values.items[i]);
  const bool put = kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef;
  for (size_t i = 0; i < n; ++i) {
    VARIANT& slot = slots.items[n - 1 - i];
    if (put || args[i].IsMissing()) {
      slot = values.items[i];  // by value; `values` keeps ownership
      continue;
    }
    V_VT(&slot) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&slot) = &values.items[i];
  }
  DISPID named_put = DISPID_PROPERTYPUT;
  DISPPARAMS params{n ? slots.items.data() : nullptr, put ? &named_put : nullptr, static_cast<UINT>(n),
                    put ? 1u : 0u};
  WORD flags = DISPATCH_METHOD;
  switch (kind) {
    case CallKind::Method: flags = DISPATCH_METHOD; break;
    case CallKind::PropertyGet: flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD; break;
    case CallKind::PropertyPut: flags = DISPATCH_PROPERTYPUT; break;
    case CallKind::PropertyPutRef: flags = DISPATCH_PROPERTYPUTREF; break;
  }
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO info{};
  UINT bad_arg = 0;
  HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, put ? nullptr : &result, &info,
                                 &bad_arg);
  // The slots of put arguments alias `values`; forget them so nothing is freed twice.
  for (auto& slot : slots.items) VariantInit(&slot);
  if (FAILED(hr)) {
    common::AutomationError error = ErrorFromResult(hr, &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    VariantClear(&result);
    throw error;
  }
  for (size_t i = 0; i < n; ++i)
    if (!put && !args[i].IsMissing()) args[i] = FromVariant(values.items[i]);
  Value out;
  try {
    out = FromVariant(result);
  } catch (...) {
    VariantClear(&result);
    throw;
  }
  VariantClear(&result);
  return out;
}

bool DispatchObject::SameObject(const AutomationObject& other) const {
  auto* peer = dynamic_cast<const DispatchObject*>(&other);
  if (!peer) return false;
  IUnknown *a = nullptr, *b = nullptr;
  dispatch_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  peer->dispatch_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  bool same = a && a == b;
  if (a) a->Release();
  if (b) b->Release();
  return same;
}

ObjectRef ComObjectFactory::Create(TextView prog_id) {
  Text id(prog_id);
  CLSID clsid;
  Text failure = u"ActiveX component can't create object: " + id;
  if (FAILED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(id.c_str()), &clsid)))
    throw common::AutomationError(429, failure);
  IDispatch* dispatch = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch));
  if (FAILED(hr)) throw common::AutomationError(429, failure + u" (" + SystemMessage(hr) + u")");
  auto object = std::make_shared<DispatchObject>(dispatch);
  dispatch->Release();
  return object;
}

}  // namespace outside
