// AppObj: the application object that every debugger object on a thread shares, the
// identity it gives the message lines, and the error report when it lacks a property.
#include <gtest/gtest.h>

#include "velk10_client.h"

namespace velk10_test {
namespace {

winkit::ComPtr<IUnknown> Identity(IUnknown* object) {
  winkit::ComPtr<IUnknown> unknown;
  if (object) object->QueryInterface(IID_IUnknown, unknown.put_void());
  return unknown;
}

class AppObj : public testing::Test {
 protected:
  void SetUp() override {
    box_.Accept();
    box_.Switches(true, false, true);
    first_ = LateDebugger();
    ASSERT_TRUE(first_);
  }
  void TearDown() override {
    if (first_) first_.SetAppObj(nullptr);  // the next test starts without one
  }
  void AddFrom(const LateDebugger& debugger, VARIANT* extra = nullptr) {
    VARIANT none;
    VariantInit(&none);
    Outcome out = debugger.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {Ref(extra ? extra : &none)}});
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_TRUE(out.empty_result());
    VariantClear(&none);
  }

  Sandbox box_;
  LateDebugger first_;
  winkit::Bstr message_{L"OpenStore"}, dll_{L"dll"}, name_{L"modStore"};
};

TEST_F(AppObj, NothingUntilAssigned) {
  // A thread that has never used the library starts without an application object.
  OnNewApartment([] {
    LateDebugger fresh;
    ASSERT_TRUE(fresh);
    Outcome got = fresh.Invoke(kAppObjId, DISPATCH_PROPERTYGET);
    EXPECT_EQ(got.hr, S_OK);
    EXPECT_EQ(V_VT(got.result.get()), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(got.result.get()), nullptr);

    winkit::ComPtr<_clsVELKDebuggerA> early;
    ASSERT_EQ(fresh.get()->QueryInterface(IID__clsVELKDebuggerA, early.put_void()), S_OK);
    IDispatch* app = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(early->get_AppObj(&app), S_OK);
    EXPECT_EQ(app, nullptr);
  });
}

TEST_F(AppObj, IdentityOfTheApplicationObjectInTheLine) {
  auto* app = new AppObject(L"Ledger", L"Ledger Desk", 3, 2);
  ASSERT_EQ(first_.SetAppObj(app), S_OK);
  AddFrom(first_);
  EXPECT_EQ(app->reads(), (std::vector<std::wstring>{L"ProductName", L"Title", L"Major", L"Minor"}));
  std::vector<std::wstring> entries = box_.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(Parse(entries[0]).body, L". (dll)  > Ledger > Ledger Desk > 3.2 > modStore > OpenStore > -");
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"AAAB"), entries[0]);

  // The identity is read afresh for every message; numbers show as plain digits.
  auto* other = new AppObject(L"Atlas", L"Atlas Pro", 10, 10);
  ASSERT_EQ(first_.SetAppObj(other), S_OK);
  AddFrom(first_);
  EXPECT_EQ(Parse(box_.Entries().at(1)).body, L". (dll)  > Atlas > Atlas Pro > 10.10 > modStore > OpenStore > -");
  // The replaced object was let go.
  EXPECT_EQ(app->refs(), 1);
  app->Release();
  other->Release();
}

TEST_F(AppObj, SharedByEveryObjectOnTheThreadUntilSetToNothing) {
  auto* app = new AppObject(L"Ledger", L"Ledger Desk", 3, 2);
  LateDebugger second;
  ASSERT_TRUE(second);
  ASSERT_EQ(first_.SetAppObj(app), S_OK);

  // Read back through another object, early and late bound: the same object.
  winkit::ComPtr<IDispatch> late = second.AppObj();
  EXPECT_EQ(Identity(late.get()).get(), Identity(app).get());
  winkit::ComPtr<_clsVELKDebuggerA> early;
  ASSERT_EQ(second.get()->QueryInterface(IID__clsVELKDebuggerA, early.put_void()), S_OK);
  winkit::ComPtr<IDispatch> through_vtable;
  ASSERT_EQ(early->get_AppObj(through_vtable.put()), S_OK);
  EXPECT_EQ(Identity(through_vtable.get()).get(), Identity(app).get());
  late.reset();
  through_vtable.reset();

  // An object created after the assignment sees it too, and its creation keeps it.
  LateDebugger third;
  ASSERT_TRUE(third);
  EXPECT_EQ(Identity(third.AppObj().get()).get(), Identity(app).get());
  AddFrom(third);
  EXPECT_EQ(Parse(box_.Entries().at(0)).body, L". (dll)  > Ledger > Ledger Desk > 3.2 > modStore > OpenStore > -");

  // Set to Nothing through the v-table of yet another object.
  ASSERT_EQ(early->putref_AppObj(nullptr), S_OK);
  Outcome got = first_.Invoke(kAppObjId, DISPATCH_PROPERTYGET);
  EXPECT_EQ(got.hr, S_OK);
  EXPECT_EQ(V_VT(got.result.get()), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(got.result.get()), nullptr);
  AddFrom(first_);
  EXPECT_EQ(Parse(box_.Entries().at(1)).body, L". (dll)  > APPOBJNOTHING > modStore > OpenStore > -");
  EXPECT_EQ(app->refs(), 1);  // no reference kept once cleared
  app->Release();
}

TEST_F(AppObj, AssignmentByValueIsNotDefined) {
  auto* app = new AppObject(L"Ledger", L"Ledger Desk", 3, 2);
  VARIANT value;
  V_VT(&value) = VT_DISPATCH;
  V_DISPATCH(&value) = app;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &put, 1, 1};
  HRESULT hr = first_.get()->Invoke(kAppObjId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                                    nullptr, nullptr);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  Outcome got = first_.Invoke(kAppObjId, DISPATCH_PROPERTYGET);
  EXPECT_EQ(V_VT(got.result.get()), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(got.result.get()), nullptr);
  EXPECT_EQ(app->refs(), 1);
  app->Release();
}

// An application object without Minor: error 438 in the error report, the call still
// succeeds, and nothing after the identity runs.
TEST_F(AppObj, MissingPropertyIsReportedInAMessageBoxAndTheCallSucceeds) {
  auto* app = new AppObject(L"Ledger", L"Ledger Desk", 3, 2, {L"Minor"});
  AddFrom(first_);  // one accepted message before
  const long before = Parse(box_.Entries().at(0)).number;

  ASSERT_EQ(first_.SetAppObj(app), S_OK);
  VARIANT extra;
  VariantInit(&extra);
  MessageBoxWatcher watcher(L"438 -AddDebugMessage");
  Outcome out = first_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {Ref(&extra)}});
  const std::wstring text = watcher.Wait();
  EXPECT_EQ(out.hr, S_OK);
  EXPECT_TRUE(out.empty_result());
  EXPECT_EQ(text, L"Object doesn't support this property or method");
  EXPECT_TRUE(watcher.ok_only());
  EXPECT_TRUE(watcher.warning_icon());
  EXPECT_EQ(V_VT(&extra), VT_EMPTY);  // the identity comes before the "-"
  EXPECT_EQ(box_.Entries().size(), 1u);
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"DebuggerAKS"), L"AAAB");

  // The object stays usable, and the failed call took no number.
  ASSERT_EQ(first_.SetAppObj(nullptr), S_OK);
  AddFrom(first_);
  EXPECT_EQ(Parse(box_.Entries().at(1)).number, before + 1);
  app->Release();
}

}  // namespace
}  // namespace velk10_test
