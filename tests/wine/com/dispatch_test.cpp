// Late-bound calls through the type library into an object built from the generated
// header: ITypeInfo::Invoke finds a member by its dispatch id and calls the v-table slot
// that the library declares, so a wrong offset, parameter type or order in either file
// lands in the wrong method or hands it the wrong values.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "com_test_util.h"
#include "velk10.h"
#include "velk10_expected.h"
#include "vtable_slots.h"

namespace velk_com_test {
namespace {

std::wstring Text(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

// Records which member was called and with what; never touches the result variant.
class RecordingDebugger : public _clsVELKDebuggerA {
 public:
  ~RecordingDebugger() {
    if (app_) app_->Release();
    VariantClear(&extra);
    VariantClear(&co_extra);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__clsVELKDebuggerA) {
      *out = static_cast<_clsVELKDebuggerA*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_AppObj(IDispatch** out) override {
    calls.push_back("get_AppObj");
    *out = app_;
    if (app_) app_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_AppObj(IDispatch* value) override {
    calls.push_back("putref_AppObj");
    if (value) value->AddRef();
    if (app_) app_->Release();
    app_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateDebugInfoWindow(VARIANT*) override { return Record("CreateDebugInfoWindow"); }
  HRESULT STDMETHODCALLTYPE DestroyDebugInfoWindow(VARIANT*) override { return Record("DestroyDebugInfoWindow"); }
  HRESULT STDMETHODCALLTYPE AddDebugMessage(BSTR* sMessage, BSTR* sType, BSTR* sName, short* iLevel,
                                            VARIANT* vExtra, VARIANT* vCoExtra, VARIANT*) override {
    calls.push_back("AddDebugMessage");
    message = Text(*sMessage);
    type = Text(*sType);
    name = Text(*sName);
    level = *iLevel;
    VariantCopy(&extra, vExtra);
    VariantCopy(&co_extra, vCoExtra);
    // The parameters are by reference: the caller's variable takes the new value.
    if (V_VT(vExtra) == VT_BSTR) {
      VariantClear(vExtra);
      V_VT(vExtra) = VT_BSTR;
      V_BSTR(vExtra) = SysAllocString(L"changed");
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddClearMessages(VARIANT*) override { return Record("AddClearMessages"); }
  HRESULT STDMETHODCALLTYPE ShowDebuggerOptions(VARIANT*) override { return Record("ShowDebuggerOptions"); }
  HRESULT STDMETHODCALLTYPE ShowDebuggerWindow(VARIANT*) override { return Record("ShowDebuggerWindow"); }

  IDispatch* app() const { return app_; }

  std::vector<std::string> calls;
  std::wstring message, type, name;
  short level = -1;
  VARIANT extra{}, co_extra{};

 private:
  HRESULT Record(const char* member) {
    calls.push_back(member);
    return S_OK;
  }

  ULONG refs_ = 1;
  IDispatch* app_ = nullptr;
};

class Velk10Dispatch : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, LoadTypeLibEx(TestFile().c_str(), REGKIND_NONE, lib_.Put()));
    // The type information that a dual object's IDispatch works from.
    ASSERT_EQ(S_OK, lib_->GetTypeInfoOfGuid(kDebuggerIid, info_.Put()));
    // A call through a slot that the header gives another method would run that method
    // on the wrong arguments; no call is made unless every slot agrees.
    HREFTYPE href;
    Ref<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, info_->GetRefTypeOfImplType(static_cast<UINT>(-1), &href));
    ASSERT_EQ(S_OK, info_->GetRefTypeInfo(href, vtable.Put()));
    for (UINT i = 0; i < velk10_debugger_slot_count; ++i) {
      FuncDesc f(vtable.get(), i);
      ASSERT_EQ(S_OK, f.hr());
      const ExpectedFunc& want = kDebuggerFuncs[i];
      ASSERT_EQ(std::string(want.header_name), velk10_debugger_slots[i].member);
      ASSERT_TRUE(f->memid == want.id && f->invkind == want.kind &&
                  static_cast<size_t>(f->oVft) / sizeof(void*) == velk10_debugger_slots[i].slot)
          << want.header_name << " is not where the header has it";
    }
  }

  // Invokes member `id` on the recording object; args in parameter order, or in the order
  // of `named` (parameter positions) when given.
  HRESULT Call(MEMBERID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
               std::vector<DISPID> named = {}) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    std::vector<DISPID> named_reversed(named.rbegin(), named.rend());
    DISPPARAMS params = {reversed.data(), named_reversed.data(), static_cast<UINT>(reversed.size()),
                         static_cast<UINT>(named_reversed.size())};
    EXCEPINFO exception = {};
    UINT arg_error = 0;
    VARIANT ignored;
    VariantInit(&ignored);
    HRESULT hr = info_->Invoke(static_cast<_clsVELKDebuggerA*>(&object_), id, flags, &params,
                               result ? result : &ignored, &exception, &arg_error);
    VariantClear(&ignored);
    return hr;
  }

  static VARIANT ByRef(BSTR* b) {
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = b;
    return v;
  }
  static VARIANT ByRef(short* s) {
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_I2;
    V_I2REF(&v) = s;
    return v;
  }
  static VARIANT ByRef(VARIANT* inner) {
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = inner;
    return v;
  }

  Ref<ITypeLib> lib_;
  Ref<ITypeInfo> info_;
  RecordingDebugger object_;
};

TEST_F(Velk10Dispatch, EachMethodIdReachesItsOwnSlot) {
  for (const ExpectedFunc& want : kDebuggerFuncs) {
    if (want.kind != INVOKE_FUNC || want.id == kAddDebugMessage) continue;
    SCOPED_TRACE(want.header_name);
    object_.calls.clear();
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, Call(want.id, DISPATCH_METHOD, {}, &result));
    EXPECT_EQ(std::vector<std::string>{want.header_name}, object_.calls);
    EXPECT_EQ(VT_EMPTY, V_VT(&result)) << "the method's variant result";
  }
}

TEST_F(Velk10Dispatch, AppObjIsAssignedOnlyByReference) {
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(S_OK, Call(kAppObj, DISPATCH_PROPERTYGET, {}, &result));
  EXPECT_EQ(std::vector<std::string>{"get_AppObj"}, object_.calls);
  EXPECT_EQ(VT_DISPATCH, V_VT(&result));
  EXPECT_EQ(nullptr, V_DISPATCH(&result));

  RecordingDebugger other;
  VARIANT value;
  V_VT(&value) = VT_DISPATCH;
  V_DISPATCH(&value) = &other;
  object_.calls.clear();
  ASSERT_EQ(S_OK, Call(kAppObj, DISPATCH_PROPERTYPUTREF, {value}, nullptr, {DISPID_PROPERTYPUT}));
  EXPECT_EQ(std::vector<std::string>{"putref_AppObj"}, object_.calls);
  EXPECT_EQ(&other, object_.app());

  ASSERT_EQ(S_OK, Call(kAppObj, DISPATCH_PROPERTYGET, {}, &result));
  EXPECT_EQ(VT_DISPATCH, V_VT(&result));
  EXPECT_EQ(&other, V_DISPATCH(&result));
  VariantClear(&result);

  // No assignment by value.
  object_.calls.clear();
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(kAppObj, DISPATCH_PROPERTYPUT, {value}, nullptr, {DISPID_PROPERTYPUT}));
  EXPECT_TRUE(object_.calls.empty());
}

class AddDebugMessageCall : public Velk10Dispatch {
 protected:
  void TearDown() override {
    SysFreeString(message_);
    SysFreeString(type_);
    SysFreeString(name_);
    VariantClear(&extra_);
    VariantClear(&co_extra_);
  }

  BSTR message_ = SysAllocString(L"hello");
  BSTR type_ = SysAllocString(L"dll");
  BSTR name_ = SysAllocString(L"Client");
  short level_ = 3;
  VARIANT extra_ = {}, co_extra_ = {};
};

TEST_F(AddDebugMessageCall, AllArgumentsByPosition) {
  V_VT(&extra_) = VT_BSTR;
  V_BSTR(&extra_) = SysAllocString(L"extra");
  V_VT(&co_extra_) = VT_I4;
  V_I4(&co_extra_) = 42;
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(S_OK, Call(kAddDebugMessage, DISPATCH_METHOD,
                       {ByRef(&message_), ByRef(&type_), ByRef(&name_), ByRef(&level_), ByRef(&extra_), ByRef(&co_extra_)},
                       &result));
  EXPECT_EQ(std::vector<std::string>{"AddDebugMessage"}, object_.calls);
  EXPECT_EQ(L"hello", object_.message);
  EXPECT_EQ(L"dll", object_.type);
  EXPECT_EQ(L"Client", object_.name);
  EXPECT_EQ(3, object_.level);
  ASSERT_EQ(VT_BSTR, V_VT(&object_.extra));
  EXPECT_EQ(L"extra", Text(V_BSTR(&object_.extra)));
  ASSERT_EQ(VT_I4, V_VT(&object_.co_extra));
  EXPECT_EQ(42, V_I4(&object_.co_extra));
  EXPECT_EQ(VT_EMPTY, V_VT(&result));
  // Written through the reference into the caller's variable.
  ASSERT_EQ(VT_BSTR, V_VT(&extra_));
  EXPECT_EQ(L"changed", Text(V_BSTR(&extra_)));
}

TEST_F(AddDebugMessageCall, NamedArgumentsBindToTheirParameters) {
  const wchar_t* names[] = {L"AddDebugMessage", L"vCoExtra", L"iLevel", L"sName", L"sMessage", L"vExtra", L"sType"};
  DISPID ids[7] = {};
  ASSERT_EQ(S_OK, info_->GetIDsOfNames(const_cast<LPOLESTR*>(names), 7, ids));
  V_VT(&co_extra_) = VT_I4;
  V_I4(&co_extra_) = 7;
  V_VT(&extra_) = VT_I4;
  V_I4(&extra_) = 8;
  ASSERT_EQ(S_OK, Call(ids[0], DISPATCH_METHOD,
                       {ByRef(&co_extra_), ByRef(&level_), ByRef(&name_), ByRef(&message_), ByRef(&extra_), ByRef(&type_)},
                       nullptr, std::vector<DISPID>(ids + 1, ids + 7)));
  EXPECT_EQ(L"hello", object_.message);
  EXPECT_EQ(L"dll", object_.type);
  EXPECT_EQ(L"Client", object_.name);
  EXPECT_EQ(3, object_.level);
  EXPECT_EQ(8, V_I4(&object_.extra));
  EXPECT_EQ(7, V_I4(&object_.co_extra));
}

TEST_F(AddDebugMessageCall, TrailingVariantsMayBeLeftOut) {
  ASSERT_EQ(S_OK, Call(kAddDebugMessage, DISPATCH_METHOD, {ByRef(&message_), ByRef(&type_), ByRef(&name_), ByRef(&level_)}));
  EXPECT_EQ(std::vector<std::string>{"AddDebugMessage"}, object_.calls);
  EXPECT_EQ(3, object_.level);
  for (const VARIANT* missing : {&object_.extra, &object_.co_extra}) {
    ASSERT_EQ(VT_ERROR, V_VT(missing));
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, V_ERROR(missing));
  }
}

TEST_F(Velk10Dispatch, Id0x60030005IsNotAMember) {
  for (WORD flags : {WORD{DISPATCH_METHOD}, WORD{DISPATCH_PROPERTYGET}, WORD{DISPATCH_METHOD | DISPATCH_PROPERTYGET}})
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(kNotAMember, flags, {}));
  EXPECT_TRUE(object_.calls.empty());
}

}  // namespace
}  // namespace velk_com_test
