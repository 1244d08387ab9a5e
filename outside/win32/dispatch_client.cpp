#include "outside/win32/dispatch_client.h"

#include <windows.h>
#include <dispex.h>
#include <oleauto.h>

#include <vector>

#include "outside/win32/variant_value.h"
#include "tolvex/ini/com/ini_file_hold.h"
#include "winkit/errors.h"

namespace outside {

namespace {

// IDispatchEx, which script engines' objects implement.
const IID kIidDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

Text SystemMessage(HRESULT result) {
  Text text = winkit::SystemMessage(static_cast<DWORD>(result));
  return text.empty() ? Text(u"Automation error") : text;
}

}  // namespace

common::AutomationError ErrorFromResult(HRESULT result, winkit::ExcepInfo* exception) {
  if (result == DISP_E_EXCEPTION && exception) {
    EXCEPINFO& filled = *exception->get();  // filled in where its owner frees it
    if (filled.pfnDeferredFillIn) {
      filled.pfnDeferredFillIn(&filled);
      filled.pfnDeferredFillIn = nullptr;
    }
    Text description = winkit::Bstr::ToText(filled.bstrDescription);
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

DISPID DispatchClient::Resolve(TextView name) {
  if (auto known = ids_.find(name); known != ids_.end()) return known->second;
  Text key(name);
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(key.data())};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    // Script class objects answer only through IDispatchEx.
    winkit::ComPtr<IDispatchEx> ex;
    if (SUCCEEDED(dispatch_->QueryInterface(kIidDispatchEx, ex.put_void())))
      hr = ex->GetDispID(winkit::Bstr(TextView(key)).get(), fdexNameCaseInsensitive, &id);
  }
  if (FAILED(hr)) throw ErrorFromResult(hr == E_NOTIMPL ? DISP_E_UNKNOWNNAME : hr);
  ids_.emplace(std::move(key), id);
  return id;
}

Value DispatchClient::Invoke(TextView name, CallKind kind, std::span<Value> args) {
  DISPID id = Resolve(name);
  // Arguments go in reverse order. Method arguments are passed by reference
  // (a by-reference variant pointing at our copy) so the callee can change them.
  const size_t n = args.size();
  std::vector<winkit::Variant> values(n);
  for (size_t i = 0; i < n; ++i) ToVariant(args[i], *values[i].put());
  const bool put = kind == CallKind::PropertyPut || kind == CallKind::PropertyPutRef;
  // The slots only borrow from `values`: by value (a bitwise copy) or by reference.
  std::vector<VARIANT> slots(n);
  for (size_t i = 0; i < n; ++i) {
    VARIANT& slot = slots[n - 1 - i];
    if (put || args[i].IsMissing()) {
      slot = *values[i].get();
      continue;
    }
    VariantInit(&slot);
    V_VT(&slot) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&slot) = values[i].get();
  }
  DISPID named_put = DISPID_PROPERTYPUT;
  DISPPARAMS params{n ? slots.data() : nullptr, put ? &named_put : nullptr, static_cast<UINT>(n), put ? 1u : 0u};
  WORD flags = DISPATCH_METHOD;
  switch (kind) {
    case CallKind::Method: flags = DISPATCH_METHOD; break;
    case CallKind::PropertyGet: flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD; break;
    case CallKind::PropertyPut: flags = DISPATCH_PROPERTYPUT; break;
    case CallKind::PropertyPutRef: flags = DISPATCH_PROPERTYPUTREF; break;
  }
  winkit::Variant result;
  winkit::ExcepInfo exception;
  auto call = [&](WORD call_flags) {
    exception.Clear();
    UINT bad_arg = 0;
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, call_flags, &params, put ? nullptr : result.put(),
                             exception.get(), &bad_arg);
  };
  HRESULT hr = call(flags);
  // A read goes with the method flag too, as Visual Basic reads, so that a member written
  // as a function answers as well. Not every object takes that on a plain value (Wine's
  // JScript refuses it for a property of an object made in JScript), so a read that the
  // object refused is made again as a property read alone. A member that ran and raised
  // its own error (DISP_E_EXCEPTION) is not run a second time; when the second read also
  // fails, the member's own error wins over a refusal, else the first call's error stands.
  if (FAILED(hr) && hr != DISP_E_EXCEPTION && kind == CallKind::PropertyGet) {
    HRESULT again = call(DISPATCH_PROPERTYGET);
    if (SUCCEEDED(again) || again == DISP_E_EXCEPTION) hr = again;
  }
  if (FAILED(hr)) throw ErrorFromResult(hr, &exception);
  for (size_t i = 0; i < n; ++i)
    if (!put && !args[i].IsMissing()) args[i] = FromVariant(*values[i].get());
  return FromVariant(*result.get());
}

namespace {

class HeldThroughHandler : public FileHold {
 public:
  explicit HeldThroughHandler(winkit::ComPtr<IIniFileHold> hold) : hold_(std::move(hold)) {}
  ~HeldThroughHandler() override { hold_->ReleaseFile(); }

 private:
  winkit::ComPtr<IIniFileHold> hold_;
};

}  // namespace

std::unique_ptr<FileHold> DispatchClient::HoldFile(TextView path) {
  winkit::ComPtr<IIniFileHold> hold;
  if (FAILED(dispatch_.As(hold))) return nullptr;
  HRESULT hr = hold->HoldFile(winkit::Bstr(path).get());
  if (FAILED(hr)) {
    winkit::ExcepInfo exception;  // the handler's error information, as a dispatch call gives it
    winkit::FillExcepInfo(hr, exception.get(), L"");
    throw ErrorFromResult(DISP_E_EXCEPTION, &exception);
  }
  return std::make_unique<HeldThroughHandler>(std::move(hold));
}

ObjectRef ComObjectFactory::Create(TextView prog_id) {
  Text id(prog_id);
  CLSID clsid;
  Text failure = u"ActiveX component can't create object: " + id;
  if (FAILED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(id.c_str()), &clsid)))
    throw common::AutomationError(429, failure);
  winkit::ComPtr<IDispatch> dispatch;
  HRESULT hr =
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch, dispatch.put_void());
  if (FAILED(hr)) throw common::AutomationError(429, failure + u" (" + SystemMessage(hr) + u")");
  return std::make_shared<DispatchClient>(dispatch.get());
}

}  // namespace outside
