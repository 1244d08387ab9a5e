#include "com/debugger_object.h"

#include <optional>

#include "com/add_debug_message_call.h"
#include "com/thread_context.h"
#include "component/debugger_commands.h"
#include "outside/win32/dispatch_client.h"
#include "outside/win32/variant_value.h"
#include "velk10.h"
#include "winkit/dispatch.h"
#include "winkit/handles.h"

namespace velk {

const wchar_t kDebuggerProgId[] = L"VELK10.clsVELKDebuggerA";
const wchar_t kLibraryProgId[] = L"VELK10.clsVELK10A";

namespace {

constexpr DISPID kAppObjId = 0x68030000;

// A property put of one value, Null (through a reference or not).
bool IsNullPut(const DISPPARAMS* params) {
  if (!params || params->cArgs != 1 || params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
      params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
    return false;
  const VARIANT* value = &params->rgvarg[0];
  if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value)) value = V_VARIANTREF(value);
  return V_VT(value) == VT_NULL;
}

// A method's result: always an empty variant.
HRESULT EmptyResult(VARIANT* result) {
  if (result) VariantInit(result);
  return S_OK;
}

class DebuggerObject final : public winkit::DispatchObject<_clsVELKDebuggerA> {
 public:
  static winkit::DispatchType& Type() {
    static winkit::DispatchType type(IID__clsVELKDebuggerA, kDebuggerProgId);
    return type;
  }
  DebuggerObject() : DispatchObject(Type()) {}

  // The class initialisation; errors go to the creator.
  HRESULT Initialize() {
    return Guard([&] {
      ThreadContext& context = CurrentThreadContext();
      debugger_.emplace(context.state, context.platform.platform);
    });
  }

  HRESULT STDMETHODCALLTYPE get_AppObj(IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return Guard([&] {
      auto* object = dynamic_cast<outside::DispatchClient*>(debugger_->AppObj().get());
      if (object) (*out = object->dispatch())->AddRef();
    });
  }
  HRESULT STDMETHODCALLTYPE putref_AppObj(IDispatch* value) override {
    return Guard([&] {
      debugger_->SetAppObj(value ? std::make_shared<outside::DispatchClient>(value) : outside::ObjectRef());
    });
  }

  HRESULT STDMETHODCALLTYPE CreateDebugInfoWindow(VARIANT* result) override {
    debugger_->CreateDebugInfoWindow();
    return EmptyResult(result);
  }
  HRESULT STDMETHODCALLTYPE DestroyDebugInfoWindow(VARIANT* result) override {
    debugger_->DestroyDebugInfoWindow();
    return EmptyResult(result);
  }
  HRESULT STDMETHODCALLTYPE AddClearMessages(VARIANT* result) override {
    debugger_->AddClearMessages();
    return EmptyResult(result);
  }
  HRESULT STDMETHODCALLTYPE ShowDebuggerOptions(VARIANT* result) override {
    HRESULT hr = Guard([&] { debugger_->ShowDebuggerOptions(); });
    return SUCCEEDED(hr) ? EmptyResult(result) : hr;
  }
  HRESULT STDMETHODCALLTYPE ShowDebuggerWindow(VARIANT* result) override {
    HRESULT hr = Guard([&] { debugger_->ShowDebuggerWindow(); });
    return SUCCEEDED(hr) ? EmptyResult(result) : hr;
  }

  // Early-bound callers pass their variables directly; a null pointer stands for a
  // parameter left out.
  HRESULT STDMETHODCALLTYPE AddDebugMessage(BSTR* message, BSTR* type, BSTR* name, short* level, VARIANT* extra,
                                            VARIANT* co_extra, VARIANT* result) override {
    if (result) VariantInit(result);
    return Guard([&] {
      AddDebugMessageCall call;
      call.SetText(0, message ? winkit::Bstr::ToText(*message) : common::Text());
      call.SetText(1, type ? winkit::Bstr::ToText(*type) : common::Text());
      call.SetText(2, name ? winkit::Bstr::ToText(*name) : common::Text());
      call.SetLevel(level ? *level : 0);
      call.SetExtra(extra);
      call.SetCoExtra(co_extra);
      call.Run(*debugger_);
    });
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override {
    // AddDebugMessage binds its own arguments: scripts pass variables by reference
    // and leave out optional texts and numbers, which the generic binding refuses.
    if (id == kAddDebugMessageId && (flags & DISPATCH_METHOD) && IsEqualIID(riid, IID_NULL))
      return InvokeAddDebugMessage(*debugger_, params, result, arg_error);
    // AppObj takes an object by reference only, and so Nothing; JScript assigns null by
    // value (o.AppObj = null), which stands for Nothing too.
    if (id == kAppObjId && flags == DISPATCH_PROPERTYPUT && IsEqualIID(riid, IID_NULL) && IsNullPut(params))
      return putref_AppObj(nullptr);
    return DispatchObject::Invoke(id, riid, lcid, flags, params, result, exception, arg_error);
  }

 private:
  std::optional<component::Debugger> debugger_;
};

class LibraryObject final : public winkit::DispatchObject<_clsVELK10A> {
 public:
  static winkit::DispatchType& Type() {
    static winkit::DispatchType type(IID__clsVELK10A, kLibraryProgId);
    return type;
  }
  LibraryObject() : DispatchObject(Type()) {}
};

}  // namespace

HRESULT CreateDebuggerObject(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  HRESULT hr = DebuggerObject::Type().Load();
  if (FAILED(hr)) return hr;
  auto* object = new (std::nothrow) DebuggerObject();
  if (!object) return E_OUTOFMEMORY;
  hr = object->Initialize();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, out);
  object->Release();
  return hr;
}

HRESULT CreateLibraryObject(REFIID riid, void** out) { return winkit::CreateObject<LibraryObject>(riid, out); }

}  // namespace velk
