// tolvex10.dll from C++ clients: late bound by name (as VB and scripts call it) and early
// bound through the v-table. Values, numbers and errors are covered from VBScript
// (tolvex_client.vbs); here the by-reference binding and the v-table.
#include <gtest/gtest.h>

#include <string>

#include "com_client.h"
#include "tolvex10.h"
#include "winkit/handles.h"

namespace {

using namespace tolvex_test;
using winkit::Bstr;

const wchar_t kProgId[] = L"TOLVEX10.clsTolvexINIFileHandler1A";
HRESULT Code(int number) { return static_cast<HRESULT>(0x800A0000u | number); }

std::vector<std::wstring> Strings(SAFEARRAY* array) {
  std::vector<std::wstring> out;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    winkit::Variant element;
    if (SafeArrayGetVartype(array, &V_VT(element.get())) == S_OK && V_VT(element.get()) == VT_VARIANT) {
      SafeArrayGetElement(array, &i, element.get());
    } else {
      V_VT(element.get()) = VT_BSTR;
      SafeArrayGetElement(array, &i, &V_BSTR(element.get()));
    }
    out.push_back(V_VT(element.get()) == VT_BSTR ? V_BSTR(element.get()) : L"<not text>");
  }
  return out;
}

class IniHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = std::wstring(temp) + L"velk-tolvex10-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount());
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
  }
  void TearDown() override {
    WIN32_FIND_DATAW found;
    winkit::Find search(FindFirstFileW((dir_ + L"\\*").c_str(), &found));
    if (search) {
      do {
        std::wstring path = dir_ + L"\\" + found.cFileName;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      } while (FindNextFileW(search.get(), &found));
    }
    RemoveDirectoryW(dir_.c_str());
  }

  std::wstring File(const wchar_t* name) const { return dir_ + L"\\" + name; }

  // A new handler on path and section; fails the test when any step fails.
  static LateBound Open(const std::wstring& path, const wchar_t* section) {
    LateBound handler(kProgId);
    EXPECT_TRUE(handler) << "TOLVEX10 object not created: is tolvex10.dll registered?";
    if (!handler) return handler;
    Bstr p(path.c_str()), s(section);
    EXPECT_TRUE(handler.Put(L"Path", Str(p)).ok());
    EXPECT_TRUE(handler.Put(L"Section", Str(s)).ok());
    return handler;
  }
  static Outcome PutText(const LateBound& handler, const wchar_t* member, const std::wstring& text) {
    Bstr b(common::Text(text.begin(), text.end()));
    return handler.Put(member, Str(b));
  }
  static void Store(const LateBound& handler, const wchar_t* key, const std::wstring& value) {
    ASSERT_TRUE(PutText(handler, L"Key", key).ok());
    Outcome stored = PutText(handler, L"Value", value);
    ASSERT_TRUE(stored.ok()) << std::hex << stored.hr;
  }
  static std::wstring Read(const LateBound& handler, const wchar_t* key) {
    EXPECT_TRUE(PutText(handler, L"Key", key).ok());
    Outcome value = handler.Get(L"Value");
    EXPECT_TRUE(value.ok()) << std::hex << value.hr;
    return value.text();
  }

  std::wstring dir_;
};

TEST_F(IniHandlerTest, EnumerateFillsVbStyleTypedReferences) {
  const std::wstring path = File(L"enumerate.ini");
  LateBound handler = Open(path, L"List");
  for (const wchar_t* key : {L"first", L"second", L"\u00fcber"}) Store(handler, key, L"x");

  SAFEARRAY* names = nullptr;
  LONG count = -1;
  VARIANT names_ref, count_ref;
  V_VT(&names_ref) = VT_BYREF | VT_ARRAY | VT_BSTR;
  V_ARRAYREF(&names_ref) = &names;
  V_VT(&count_ref) = VT_BYREF | VT_I4;
  V_I4REF(&count_ref) = &count;
  ASSERT_TRUE(handler.Call(L"EnumerateCurrentSection", {names_ref, count_ref}).ok());
  EXPECT_EQ(count, 3);
  LONG lower = 0;
  SafeArrayGetLBound(names, 1, &lower);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(Strings(names), (std::vector<std::wstring>{L"first", L"second", L"\u00fcber"}));

  // A second call replaces the caller's array; an empty section gives 0 and no names.
  ASSERT_TRUE(PutText(handler, L"Section", L"Empty").ok());
  ASSERT_TRUE(handler.Call(L"EnumerateCurrentSection", {names_ref, count_ref}).ok());
  EXPECT_EQ(count, 0);
  ASSERT_NE(names, nullptr);
  LONG upper = -5;
  SafeArrayGetLBound(names, 1, &lower);
  SafeArrayGetUBound(names, 1, &upper);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(upper, 0);
  SafeArrayDestroy(names);

  // A VB Integer count is converted back to its own type.
  SHORT short_count = -1;
  names = nullptr;
  ASSERT_TRUE(PutText(handler, L"Section", L"List").ok());
  V_VT(&count_ref) = VT_BYREF | VT_I2;
  V_I2REF(&count_ref) = &short_count;
  ASSERT_TRUE(handler.Call(L"EnumerateCurrentSection", {names_ref, count_ref}).ok());
  EXPECT_EQ(short_count, 3);
  SafeArrayDestroy(names);
}

TEST_F(IniHandlerTest, EnumerateFillsScriptVariablesWithVariantArrays) {
  LateBound handler = Open(File(L"script.ini"), L"List");
  for (const wchar_t* key : {L"a", L"b"}) Store(handler, key, L"1");

  winkit::Variant names, count;
  V_VT(count.get()) = VT_BSTR;  // whatever the variable held before is replaced
  V_BSTR(count.get()) = SysAllocString(L"stale");
  ASSERT_TRUE(handler.Call(L"EnumerateCurrentSection", {Ref(names.get()), Ref(count.get())}).ok());
  ASSERT_EQ(V_VT(count.get()), VT_I4);
  EXPECT_EQ(V_I4(count.get()), 2);
  ASSERT_EQ(V_VT(names.get()), VT_ARRAY | VT_VARIANT);
  LONG lower = 0;
  SafeArrayGetLBound(V_ARRAY(names.get()), 1, &lower);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(Strings(V_ARRAY(names.get())), (std::vector<std::wstring>{L"a", L"b"}));

  // Again with the filled variables, then for a file that does not exist.
  ASSERT_TRUE(handler.Call(L"EnumerateCurrentSection", {Ref(names.get()), Ref(count.get())}).ok());
  EXPECT_EQ(V_I4(count.get()), 2);
  Bstr missing(File(L"absent.ini").c_str());
  ASSERT_TRUE(handler.Put(L"Path", Str(missing)).ok());
  ASSERT_TRUE(handler.Call(L"EnumerateCurrentSection", {Ref(names.get()), Ref(count.get())}).ok());
  EXPECT_EQ(V_I4(count.get()), 0);
  ASSERT_EQ(V_VT(names.get()), VT_ARRAY | VT_VARIANT);
  EXPECT_TRUE(Strings(V_ARRAY(names.get())).empty());
  EXPECT_EQ(GetFileAttributesW(File(L"absent.ini").c_str()), INVALID_FILE_ATTRIBUTES);  // listing creates nothing
}

TEST_F(IniHandlerTest, VtableClientUsesTheDualInterface) {
  winkit::ComPtr<_clsTolvexINIFileHandler1A> handler;
  ASSERT_EQ(CoCreateInstance(CLSID_clsTolvexINIFileHandler1A, nullptr, CLSCTX_INPROC_SERVER,
                             IID__clsTolvexINIFileHandler1A, handler.put_void()),
            S_OK);
  Bstr path(File(L"vtable.ini").c_str()), section(L"V"), text(u"\u00e9t\u00e9");
  VARIANT key = R8(7.0), value = Str(text);
  ASSERT_EQ(handler->put_Path(path.get()), S_OK);
  ASSERT_EQ(handler->put_Section(section.get()), S_OK);
  ASSERT_EQ(handler->put_Key(key), S_OK);
  ASSERT_EQ(handler->put_Value(value), S_OK);
  winkit::Variant read;
  ASSERT_EQ(handler->get_Value(read.get()), S_OK);
  ASSERT_EQ(V_VT(read.get()), VT_BSTR);
  EXPECT_EQ(Bstr::ToText(V_BSTR(read.get())), u"\u00e9t\u00e9");

  SAFEARRAY* names = nullptr;
  LONG count = 0;
  ASSERT_EQ(handler->EnumerateCurrentSection(&names, &count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Strings(names), std::vector<std::wstring>{L"7"});
  SafeArrayDestroy(names);

  // Errors carry their number in the result and their text in the error information.
  Bstr empty(L"");
  EXPECT_EQ(handler->put_Section(empty.get()), Code(5));
  winkit::ComPtr<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, error.put()), S_OK);
  Bstr description;
  error->GetDescription(description.put());
  EXPECT_FALSE(description.text().empty());
}

TEST_F(IniHandlerTest, EachObjectKeepsItsOwnPathSectionAndKey) {
  LateBound one = Open(File(L"one.ini"), L"A");
  LateBound two = Open(File(L"two.ini"), L"B");
  ASSERT_TRUE(PutText(one, L"Key", L"k1").ok());
  ASSERT_TRUE(PutText(two, L"Key", L"k2").ok());
  ASSERT_TRUE(PutText(one, L"Value", L"from one").ok());
  ASSERT_TRUE(PutText(two, L"Value", L"from two").ok());
  EXPECT_EQ(one.Get(L"Key").text(), L"k1");
  EXPECT_EQ(one.Get(L"Value").text(), L"from one");
  EXPECT_EQ(two.Get(L"Value").text(), L"from two");
  EXPECT_EQ(Read(Open(File(L"one.ini"), L"B"), L"k2"), L"");
}

}  // namespace
