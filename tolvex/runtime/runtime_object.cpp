#include "tolvex/runtime/runtime_object.h"

#include "tolvex/runtime/environment.h"
#include "tolvex11.h"
#include "winkit/dispatch.h"
#include "winkit/handles.h"

namespace tolvex {

const wchar_t kRuntimeProgId[] = L"TOLVEX11.clsTolvex11RunTimeA";

namespace {

class RuntimeObject final : public winkit::DispatchObject<_clsTolvex11RunTimeA> {
 public:
  static winkit::DispatchType& Type() {
    static winkit::DispatchType type(IID__clsTolvex11RunTimeA, kRuntimeProgId);
    return type;
  }
  RuntimeObject() : DispatchObject(Type()) {}

  HRESULT STDMETHODCALLTYPE EnvironGet(short kind, BSTR name, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guard([&] { *value = winkit::Bstr(EnvironmentValue(kind, winkit::Bstr::ToText(name))).release(); });
  }
};

}  // namespace

HRESULT CreateRuntimeObject(REFIID riid, void** out) { return winkit::CreateObject<RuntimeObject>(riid, out); }

}  // namespace tolvex
