// tolvex11.dll from C++ clients: late bound by name and early bound through the v-table.
#include <gtest/gtest.h>

#include "com_client.h"
#include "tolvex11.h"

namespace {

using namespace tolvex_test;
using winkit::Bstr;

const wchar_t kProgId[] = L"TOLVEX11.clsTolvex11RunTimeA";
const wchar_t kMachineEnvironment[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x800A0005);

class EnvironGetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(runtime_) << "TOLVEX11 object not created: is tolvex11.dll registered?"; }
  void TearDown() override {
    SetEnvironmentVariableW(kName, nullptr);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", kName);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMachineEnvironment, kName);
  }
  Outcome Environ(VARIANT kind, const wchar_t* name) const {
    Bstr text(name);
    return runtime_.Call(L"EnvironGet", {kind, Str(text)});
  }
  static void Store(HKEY root, const wchar_t* key, DWORD type, const std::wstring& value) {
    ASSERT_EQ(RegSetKeyValueW(root, key, kName, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2)),
              ERROR_SUCCESS);
  }

  static constexpr const wchar_t* kName = L"VELK_TOLVEX_TEST_VARIABLE";
  LateBound runtime_{kProgId};
};

TEST_F(EnvironGetTest, ProcessKindReadsThisProcessesVariableAndEmptyWhenUnset) {
  ASSERT_TRUE(SetEnvironmentVariableW(kName, L"first \u03b1\u03b2 value"));
  Outcome set = Environ(I2(2), kName);
  ASSERT_TRUE(set.ok()) << std::hex << set.hr;
  EXPECT_EQ(set.text(), L"first \u03b1\u03b2 value");

  // Longer than any fixed buffer: the whole value comes back.
  std::wstring long_value(32000, L'v');
  long_value += L"end";
  ASSERT_TRUE(SetEnvironmentVariableW(kName, long_value.c_str()));
  EXPECT_EQ(Environ(I2(2), kName).text(), long_value);

  ASSERT_TRUE(SetEnvironmentVariableW(kName, nullptr));
  Outcome unset = Environ(I2(2), kName);
  ASSERT_TRUE(unset.ok());
  EXPECT_EQ(unset.text(), L"");
}

TEST_F(EnvironGetTest, StoredKindsReadTheRegistryAsStored) {
  std::wstring long_value(40000, L'u');
  long_value += L"%TEMP%";
  Store(HKEY_CURRENT_USER, L"Environment", REG_EXPAND_SZ, long_value);
  Store(HKEY_LOCAL_MACHINE, kMachineEnvironment, REG_SZ, L"machine \u65e5\u672c");
  // Neither stored value is in this process's block.
  EXPECT_EQ(Environ(I2(2), kName).text(), L"");

  Outcome user = Environ(I2(1), kName);
  ASSERT_TRUE(user.ok()) << std::hex << user.hr;
  EXPECT_EQ(user.text(), long_value);  // not expanded
  EXPECT_EQ(Environ(I2(3), kName).text(), L"machine \u65e5\u672c");

  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", kName);
  Outcome gone = Environ(I2(1), kName);
  ASSERT_TRUE(gone.ok());
  EXPECT_EQ(gone.text(), L"");
}

TEST_F(EnvironGetTest, UnknownKindIsInvalidArgumentFromTheProgId) {
  for (short kind : {0, 4, -1, 99}) {
    Outcome bad = Environ(I2(kind), L"PATH");
    EXPECT_EQ(bad.hr, DISP_E_EXCEPTION) << kind;
    EXPECT_EQ(bad.scode, kInvalidArgument) << kind;
    EXPECT_NE(bad.description.find(L"kind " + std::to_wstring(kind)), std::wstring::npos) << kind;
    EXPECT_EQ(bad.source, kProgId);
  }
}

TEST(RuntimeVtableClient, CallsThroughTheDualInterface) {
  winkit::ComPtr<_clsTolvex11RunTimeA> runtime;
  ASSERT_EQ(CoCreateInstance(CLSID_clsTolvex11RunTimeA, nullptr, CLSCTX_INPROC_SERVER, IID__clsTolvex11RunTimeA,
                             runtime.put_void()),
            S_OK);
  ASSERT_TRUE(SetEnvironmentVariableW(L"VELK_TOLVEX_VTABLE", L"early"));
  Bstr name(L"VELK_TOLVEX_VTABLE");
  Bstr value;
  ASSERT_EQ(runtime->EnvironGet(2, name.get(), value.put()), S_OK);
  EXPECT_EQ(value.text(), u"early");

  // A failure leaves its description and source on the thread.
  EXPECT_EQ(runtime->EnvironGet(5, name.get(), value.put()), kInvalidArgument);
  EXPECT_FALSE(value);
  winkit::ComPtr<ISupportErrorInfo> supports;
  ASSERT_EQ(runtime.As(supports), S_OK);
  EXPECT_EQ(supports->InterfaceSupportsErrorInfo(IID__clsTolvex11RunTimeA), S_OK);
  winkit::ComPtr<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, error.put()), S_OK);
  Bstr description, source;
  error->GetDescription(description.put());
  error->GetSource(source.put());
  EXPECT_NE(description.text().find(u"kind 5"), common::Text::npos);
  EXPECT_EQ(source.text(), u"TOLVEX11.clsTolvex11RunTimeA");
  SetEnvironmentVariableW(L"VELK_TOLVEX_VTABLE", nullptr);
}

}  // namespace
