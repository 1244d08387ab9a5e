#pragma once
// Test-side helpers for the clients of velk10.dll: a late-bound caller that passes
// positional and named arguments, a per-test sandbox of settings and report file,
// readers for what the sinks wrote, and a scriptable application object.
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/wine/process_window.h"
#include "tests/wine/variant_args.h"
#include "velk10.h"
#include "winkit/handles.h"

namespace velk10_test {

inline constexpr DISPID kAppObjId = 0x68030000;
inline constexpr DISPID kAddDebugMessageId = 0x60030003;
inline constexpr DISPID kNotAMemberId = 0x60030005;
inline constexpr wchar_t kDebuggerProgId[] = L"VELK10.clsVELKDebuggerA";
inline constexpr wchar_t kLibraryProgId[] = L"VELK10.clsVELK10A";

std::wstring GuidText(const GUID& guid);
// A text value under HKEY_CLASSES_ROOT; "<absent>" when there is none.
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr);
// The registered in-process server of clsVELKDebuggerA.
std::wstring DllPath();
// The current local time as the DLL writes it into a message line.
std::wstring NowText();

// What one IDispatch::Invoke gave back.
struct Outcome {
  HRESULT hr = E_FAIL;
  winkit::Variant result;
  UINT arg_error = ~0u;
  bool ok() const { return hr == S_OK; }
  bool empty_result() const { return V_VT(result.get()) == VT_EMPTY; }
};

// One argument of a late-bound call: its value and, for a named argument, its name.
struct Arg {
  VARIANT value;
  const wchar_t* name = nullptr;
};

// A debugger object created from its ProgID and called through IDispatch only.
class LateDebugger {
 public:
  LateDebugger();
  explicit LateDebugger(IDispatch* existing) : dispatch_(existing) {}
  IDispatch* get() const { return dispatch_.get(); }
  explicit operator bool() const { return static_cast<bool>(dispatch_); }

  // Arguments in call order. Named ones are resolved as parameters of AddDebugMessage
  // with GetIDsOfNames and go first in rgvarg, before the positional ones (last first).
  Outcome Invoke(DISPID id, WORD flags, std::vector<Arg> args = {}) const;
  Outcome Add(std::vector<Arg> args) const { return Invoke(kAddDebugMessageId, DISPATCH_METHOD, std::move(args)); }
  HRESULT SetAppObj(IDispatch* app) const;  // DISPATCH_PROPERTYPUTREF
  winkit::ComPtr<IDispatch> AppObj() const;  // DISPATCH_PROPERTYGET; fails the test on error

 private:
  winkit::ComPtr<IDispatch> dispatch_;
};

// Argument builders: the VARIANTs own nothing.
using wine_test::I2;
using wine_test::I4;
using wine_test::Missing;
using wine_test::R8;
using wine_test::Ref;
using wine_test::Str;
using wine_test::TextOf;

// A clean settings tree and an empty report folder for one test; QVSUPPORT names the
// folder. Settings are written before an object is created: creation loads the switches.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  void Store(const wchar_t* key, const wchar_t* text) const;  // section DebuggerA
  void Switches(bool shell, bool window, bool registry) const;
  void Accept(const wchar_t* level = L"1") const;  // the level, and every kind on

  const std::wstring& folder() const { return folder_; }
  std::wstring ReportPath() const { return folder_ + L"\\velkbug.ini"; }
  std::wstring Profile(const wchar_t* section, const wchar_t* key) const;  // "<none>" when absent
  // The report file's entries 0 .. Counter-1.
  std::vector<std::wstring> Entries() const;
  // A value of the registry message log; "<none>" when absent.
  std::wstring Logged(const wchar_t* section, const wchar_t* key) const;

 private:
  std::wstring folder_;
};

// Removes the whole settings tree of Kestrelon, as a user resetting the settings would.
void DeleteSettingsTree();

// A message line split into its number, the part between number and date, and date.
struct Line {
  long number = -1;
  std::wstring body;  // e.g. ". (dll)  > APPOBJNOTHING > name > message > -"
  std::wstring when;
};
Line Parse(const std::wstring& line);

// An application object as a client hands it over: ProductName, Title, Major and
// Minor by name through IDispatch. Properties listed in `lacking` are unknown names.
class AppObject final : public IDispatch {
 public:
  AppObject(std::wstring product, std::wstring title, long major, long minor, std::vector<std::wstring> lacking = {});
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override;

  LONG refs() const { return refs_; }
  const std::vector<std::wstring>& reads() const { return reads_; }  // property gets, in order

 private:
  std::wstring product_, title_;
  long major_, minor_;
  std::vector<std::wstring> lacking_;
  std::vector<std::wstring> reads_;
  LONG refs_ = 1;
};

// Runs `body` on a new thread in its own single-threaded apartment and waits for it.
void OnNewApartment(const std::function<void()>& body);

// Watches for a message box of this process with this title from another thread, reads
// its text and presses its OK button. Wait() returns the text ("<none>" when no box came
// in time).
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(std::wstring title);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
  std::wstring Wait();
  bool ok_only() const { return ok_only_; }
  bool warning_icon() const { return warning_icon_; }

 private:
  static DWORD WINAPI Run(void* self);
  std::wstring title_, text_ = L"<none>";
  bool ok_only_ = false, warning_icon_ = false;
  HANDLE thread_ = nullptr;
};

}  // namespace velk10_test
