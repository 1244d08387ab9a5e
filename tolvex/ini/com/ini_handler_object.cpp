#include "tolvex/ini/com/ini_handler_object.h"

#include "tolvex/ini/com/ini_file_hold.h"
#include "tolvex/ini/ini_handler.h"
#include "tolvex/ini/win32_ini_storage.h"
#include "tolvex10.h"
#include "winkit/convert.h"
#include "winkit/dispatch.h"
#include "winkit/handles.h"

namespace tolvex {

const wchar_t kIniHandlerProgId[] = L"TOLVEX10.clsTolvexINIFileHandler1A";

namespace {

using winkit::Bstr;

// names(1..n) as a one-dimensional SAFEARRAY of BSTR.
winkit::SafeArray NameArray(const std::vector<Text>& names) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(names.size()), 1};
  winkit::SafeArray array(SafeArrayCreate(VT_BSTR, 1, &bound));
  if (!array) throw std::bad_alloc();
  BSTR* data = nullptr;
  SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&data));
  try {
    for (size_t i = 0; i < names.size(); ++i) data[i] = Bstr(names[i]).release();
  } catch (...) {
    SafeArrayUnaccessData(array.get());
    throw;
  }
  SafeArrayUnaccessData(array.get());
  return array;
}

class IniHandlerObject final : public winkit::DispatchObject<_clsTolvexINIFileHandler1A>, public IIniFileHold {
 public:
  static winkit::DispatchType& Type() {
    static winkit::DispatchType type(IID__clsTolvexINIFileHandler1A, kIniHandlerProgId);
    return type;
  }
  IniHandlerObject() : DispatchObject(Type()), handler_(Win32IniStorageProvider::Instance()) {}

  HRESULT STDMETHODCALLTYPE put_Path(BSTR path) override {
    return Guard([&] { handler_.SetPath(Bstr::ToText(path)); });
  }
  HRESULT STDMETHODCALLTYPE put_Section(BSTR section) override {
    return Guard([&] { handler_.SetSection(Bstr::ToText(section)); });
  }
  HRESULT STDMETHODCALLTYPE get_Key(VARIANT* key) override {
    if (!key) return E_POINTER;
    VariantInit(key);
    return Guard([&] { *key = winkit::TextVariant(handler_.Key()); });
  }
  HRESULT STDMETHODCALLTYPE put_Key(VARIANT key) override {
    return Guard([&] { handler_.SetKey(winkit::VariantText(key)); });
  }
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return Guard([&] { *value = winkit::TextVariant(handler_.Value()); });
  }
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override {
    return Guard([&] { handler_.SetValue(winkit::VariantText(value)); });
  }

  HRESULT STDMETHODCALLTYPE EnumerateCurrentSection(SAFEARRAY** names, LONG* count) override {
    if (!names || !count) return E_POINTER;
    return Guard([&] {
      const std::vector<Text> keys = handler_.EnumerateCurrentSection();
      winkit::SafeArray array = NameArray(keys);
      // The caller's previous array goes only once the new one is complete.
      if (*names && FAILED(SafeArrayDestroy(*names)))
        throw common::AutomationError(10, u"This array is fixed or temporarily locked");
      *names = array.release();
      *count = static_cast<LONG>(keys.size());
    });
  }

  // IIniFileHold: its IUnknown is the object's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return DispatchObject::QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DispatchObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DispatchObject::Release(); }
  HRESULT STDMETHODCALLTYPE HoldFile(BSTR path) override {
    return Guard([&] { handler_.HoldFile(Bstr::ToText(path)); });
  }
  HRESULT STDMETHODCALLTYPE ReleaseFile() override {
    handler_.ReleaseFile();
    return S_OK;
  }

 private:
  void* OtherInterface(REFIID riid) override {
    return IsEqualIID(riid, __uuidof(IIniFileHold)) ? static_cast<IIniFileHold*>(this) : nullptr;
  }

  IniHandler handler_;
};

}  // namespace

HRESULT CreateIniHandlerObject(REFIID riid, void** out) { return winkit::CreateObject<IniHandlerObject>(riid, out); }

}  // namespace tolvex
