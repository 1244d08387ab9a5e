#pragma once
// IDispatch driven by the DLL's embedded type library. DispatchType describes one dual
// interface: its type information (loaded once from the module's TYPELIB resource), its
// members' parameter types, and the ProgID reported as the source of errors.
// DispatchObject<I> implements IUnknown, IDispatch and ISupportErrorInfo for an object
// whose interface is the dual interface I (and whatever OtherInterface() adds).
//
// Invoke hands the call to ITypeInfo::Invoke after binding the arguments that it does
// not bind itself: a by-reference argument whose type differs from the declared one (a
// script variable passed as VT_BYREF|VT_VARIANT, a VB caller's VT_BYREF|VT_I4 for a
// declared VARIANT*) is passed through a temporary of the declared type and written
// back after a successful call; a by-reference argument for a by-value parameter is
// passed as its value. Scripts index only arrays of VARIANT: a typed array result bound
// to a variant variable is stored as an array of VARIANT with the same bounds.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <utility>
#include <vector>

#include "winkit/errors.h"
#include "winkit/module.h"

namespace winkit {

class DispatchType {
 public:
  constexpr DispatchType(const IID& iid, const wchar_t* source) : iid_(iid), source_(source) {}
  DispatchType(const DispatchType&) = delete;
  DispatchType& operator=(const DispatchType&) = delete;

  const IID& iid() const { return iid_; }
  const wchar_t* source() const { return source_; }

  // Loads the type information on first use (later calls take no lock); fails when the
  // type library is unusable.
  HRESULT Load();

  HRESULT GetTypeInfo(UINT index, ITypeInfo** out);
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
  HRESULT Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* arg_error);

  // Frees the type information of every loaded DispatchType (DLL unload). At process end
  // it is left as it is: the libraries it comes from may be gone already.
  static void ReleaseAll();

  struct Param {
    VARTYPE type = VT_EMPTY;  // declared type without VT_BYREF; VT_EMPTY: left to ITypeInfo
    bool by_ref = false;
    bool out = false;
  };
  struct Member {
    MEMBERID id;
    INVOKEKIND kind;
    std::vector<Param> params;  // without the [retval] parameter
  };
  // The type information and members, once loaded: an entry of the DLL's table of loaded
  // types (dispatch.cpp).
  struct Loaded;

 private:
  const Member* Find(DISPID id, WORD flags) const;

  const IID& iid_;
  const wchar_t* source_;
  std::atomic<Loaded*> loaded_{nullptr};  // set once, by the first Load()
};

// Creates an object of class T (default-constructed) and returns its interface riid.
template <class T>
HRESULT CreateObject(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  HRESULT hr = T::Type().Load();
  if (FAILED(hr)) return hr;
  T* object = new (std::nothrow) T();
  if (!object) return E_OUTOFMEMORY;
  hr = object->QueryInterface(riid, out);
  object->Release();
  return hr;
}

template <class Interface>
class DispatchObject : public Interface, public ISupportErrorInfo {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, type_.iid())) {
      *out = static_cast<Interface*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else if (void* other = OtherInterface(riid)) {
      *out = other;
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    return type_.GetTypeInfo(index, out);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return type_.GetIDsOfNames(riid, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return type_.Invoke(static_cast<Interface*>(this), id, flags, params, result, exception, arg_error);
  }

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, type_.iid()) ? S_OK : S_FALSE;
  }

 protected:
  explicit DispatchObject(DispatchType& type) : type_(type) { LockModule(); }
  virtual ~DispatchObject() { UnlockModule(); }

  // An interface the object has besides the dual one, or null.
  virtual void* OtherInterface(REFIID) { return nullptr; }

  // Runs a member's body; a thrown error becomes the member's failure code.
  template <class Body>
  HRESULT Guard(Body&& body) noexcept {
    return winkit::Guard(type_.iid(), type_.source(), std::forward<Body>(body));
  }

 private:
  DispatchType& type_;
  LONG refs_ = 1;
};

}  // namespace winkit
