#pragma once
// Owners for the Win32 and COM resources the components hold: each frees its resource
// when it goes out of scope, moves but never copies (COM pointers copy with AddRef).
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstring>
#include <new>
#include <utility>

#include "common/text.h"

namespace winkit {

// One owned value of a plain handle type; Traits says what "none" is and how to free.
template <class T, class Traits>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T value) : value_(value) {}
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Unique() { reset(); }

  T get() const { return value_; }
  // Frees the current value and hands out the slot for an API to fill.
  T* put() {
    reset();
    return &value_;
  }
  T release() { return std::exchange(value_, Traits::none()); }
  void reset(T value = Traits::none()) {
    if (Traits::valid(value_)) Traits::free(value_);
    value_ = value;
  }
  explicit operator bool() const { return Traits::valid(value_); }

 private:
  T value_ = Traits::none();
};

struct HandleTraits {
  static HANDLE none() { return nullptr; }
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void free(HANDLE h) { CloseHandle(h); }
};
struct KeyTraits {
  static HKEY none() { return nullptr; }
  static bool valid(HKEY k) { return k != nullptr; }
  static void free(HKEY k) { RegCloseKey(k); }
};
struct SafeArrayTraits {
  static SAFEARRAY* none() { return nullptr; }
  static bool valid(SAFEARRAY* a) { return a != nullptr; }
  static void free(SAFEARRAY* a) { SafeArrayDestroy(a); }
};
struct BstrTraits {
  static BSTR none() { return nullptr; }
  static bool valid(BSTR b) { return b != nullptr; }
  static void free(BSTR b) { SysFreeString(b); }
};

struct FindTraits {  // FindFirstFile's search
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static bool valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void free(HANDLE h) { FindClose(h); }
};
struct ChangeNotificationTraits {  // FindFirstChangeNotification's watch
  static HANDLE none() { return INVALID_HANDLE_VALUE; }
  static bool valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void free(HANDLE h) { FindCloseChangeNotification(h); }
};
struct MappedViewTraits {
  static void* none() { return nullptr; }
  static bool valid(void* view) { return view != nullptr; }
  static void free(void* view) { UnmapViewOfFile(view); }
};

using Handle = Unique<HANDLE, HandleTraits>;
using Key = Unique<HKEY, KeyTraits>;
using SafeArray = Unique<SAFEARRAY*, SafeArrayTraits>;
using Find = Unique<HANDLE, FindTraits>;
using ChangeNotification = Unique<HANDLE, ChangeNotificationTraits>;
using MappedView = Unique<void*, MappedViewTraits>;

// A BSTR; converts to and from common::Text without losing any code unit. Constructors
// copy their text; Attach takes over a BSTR allocated elsewhere.
class Bstr : public Unique<BSTR, BstrTraits> {
 public:
  Bstr() = default;
  explicit Bstr(common::TextView text) : Unique(Allocate(text)) {}
  explicit Bstr(const wchar_t* text) : Unique(Allocate(text ? text : L"")) {}
  static Bstr Attach(BSTR owned) {
    Bstr b;
    *b.put() = owned;
    return b;
  }

  common::Text text() const { return ToText(get()); }
  static common::Text ToText(BSTR b) {
    return b ? common::Text(reinterpret_cast<const char16_t*>(b), SysStringLen(b)) : common::Text();
  }

 private:
  static BSTR Allocate(common::TextView text) {
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (!b) throw std::bad_alloc();
    return b;
  }
  static BSTR Allocate(const wchar_t* text) {
    BSTR b = SysAllocString(text);
    if (!b) throw std::bad_alloc();
    return b;
  }
};

// A VARIANT that is cleared when it goes out of scope.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(Variant&& other) noexcept : v_(other.release()) {}
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      VariantClear(&v_);
      v_ = other.release();
    }
    return *this;
  }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }
  // Hands the content over; this becomes VT_EMPTY.
  VARIANT release() {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

// An EXCEPINFO that a callee filled in: its texts are freed when it goes out of scope.
class ExcepInfo {
 public:
  ExcepInfo() = default;
  ~ExcepInfo() { Clear(); }
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
  EXCEPINFO* get() { return &info_; }
  const EXCEPINFO* get() const { return &info_; }
  void Clear() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
    info_ = EXCEPINFO{};
  }

 private:
  EXCEPINFO info_{};
};

// A COM interface pointer; copies AddRef, destruction Releases.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  template <class U>
  HRESULT As(ComPtr<U>& out) const {
    return p_ ? p_->QueryInterface(__uuidof(U), out.put_void()) : E_POINTER;
  }

 private:
  T* p_ = nullptr;
};

// COM initialised on this thread (single-threaded apartment) for one scope.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace winkit
