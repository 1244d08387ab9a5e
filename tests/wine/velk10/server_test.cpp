// The DLL as the platform sees it: what registration makes reachable, the version
// resource and exports, the class factories behind DllGetClassObject, DllCanUnloadNow,
// and the memberless global class clsVELK10A.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/wine/prog_id_of.h"
#include "velk10_client.h"

namespace velk10_test {
namespace {

const wchar_t kTypeLibMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";

bool SameFile(const std::wstring& a, const std::wstring& b) {
  wchar_t full_a[MAX_PATH], full_b[MAX_PATH];
  GetLongPathNameW(a.c_str(), full_a, MAX_PATH);
  GetLongPathNameW(b.c_str(), full_b, MAX_PATH);
  return _wcsicmp(full_a, full_b) == 0;
}

TEST(Registration, ProgIdsTypeLibraryAndMarshalingReachTheDll) {
  const std::wstring dll = DllPath();
  ASSERT_NE(dll, L"<absent>");
  const struct {
    const wchar_t* prog_id;
    const CLSID* clsid;
  } classes[] = {{kDebuggerProgId, &CLSID_clsVELKDebuggerA}, {kLibraryProgId, &CLSID_clsVELK10A}};
  for (const auto& c : classes) {
    SCOPED_TRACE(testing::Message() << c.prog_id);
    // The name a host gets for the class is the one that creates it.
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(c.prog_id, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, *c.clsid));
    EXPECT_EQ(ProgIdOf(*c.clsid), c.prog_id);
    const std::wstring key = L"CLSID\\" + GuidText(*c.clsid);
    EXPECT_TRUE(SameFile(ClassesValue(key + L"\\InprocServer32"), dll));
    EXPECT_EQ(ClassesValue(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  }

  winkit::ComPtr<ITypeLib> library;
  ASSERT_EQ(LoadRegTypeLib(LIBID_VELK10, 1, 0, LOCALE_NEUTRAL, library.put()), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->lcid, 0u);
  EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);  // this build's platform
  library->ReleaseTLibAttr(attr);
  winkit::Bstr path;
  ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_VELK10, 1, 0, LOCALE_NEUTRAL, path.put()), S_OK);
  EXPECT_TRUE(SameFile(path.get(), dll)) << static_cast<const wchar_t*>(path.get());

  // Both interfaces marshal through their type library, so other apartments reach them.
  for (const IID* iid : {&IID__clsVELKDebuggerA, &IID__clsVELK10A}) {
    CLSID proxy;
    ASSERT_EQ(CoGetPSClsid(*iid, &proxy), S_OK);
    EXPECT_EQ(GuidText(proxy), kTypeLibMarshaler);
  }
}

TEST(Registration, VersionResourceAndExportsByName) {
  const std::wstring dll = DllPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, info.data()));
  struct Translation {
    WORD language, code_page;
  }* translations = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                             &length));
  ASSERT_GE(length, sizeof(Translation));
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\OLESelfRegister", translations->language,
           translations->code_page);
  void* value = nullptr;
  EXPECT_TRUE(VerQueryValueW(info.data(), block, &value, &length)) << "no OLESelfRegister in the version resource";

  HMODULE module = LoadLibraryW(dll.c_str());
  ASSERT_NE(module, nullptr);
  for (const char* name :
       {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer", "DllInstall"})
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  FreeLibrary(module);
}

// The DLL loaded as the platform loads it, with its entry points at hand.
class Entries : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(DllPath().c_str());
    ASSERT_NE(module_, nullptr);
    get_class_object_ = reinterpret_cast<decltype(get_class_object_)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    can_unload_ = reinterpret_cast<decltype(can_unload_)>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_, nullptr);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
  HRESULT(WINAPI* get_class_object_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* can_unload_)() = nullptr;
};

TEST_F(Entries, ClassObjectsOnlyForTheTwoClasses) {
  const GUID other = {0x0c1e4d1a, 0x5f3b, 0x4b7e, {0x9a, 0x61, 0x2d, 0x3c, 0x44, 0x10, 0x7e, 0x01}};
  for (const CLSID* clsid : {&other, &IID__clsVELKDebuggerA, &LIBID_VELK10, &CLSID_NULL}) {
    SCOPED_TRACE(GuidText(*clsid).c_str());
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(get_class_object_(*clsid, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
  }
  for (const CLSID* clsid : {&CLSID_clsVELKDebuggerA, &CLSID_clsVELK10A}) {
    winkit::ComPtr<IClassFactory> factory;
    ASSERT_EQ(get_class_object_(*clsid, IID_IClassFactory, factory.put_void()), S_OK);
    winkit::ComPtr<IDispatch> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.put_void()), S_OK);
    EXPECT_TRUE(object);
    // No aggregation.
    winkit::ComPtr<IUnknown> inner;
    EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, inner.put_void()), CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(inner);
  }
}

TEST_F(Entries, CannotUnloadWhileAnObjectLivesOrAFactoryIsLocked) {
  Sandbox box;  // creation reads the settings and the report folder
  EXPECT_EQ(can_unload_(), S_OK);
  {
    LateDebugger debugger;
    ASSERT_TRUE(debugger);
    EXPECT_EQ(can_unload_(), S_FALSE);
  }
  EXPECT_EQ(can_unload_(), S_OK);
  {
    winkit::ComPtr<IDispatch> library;
    ASSERT_EQ(CoCreateInstance(CLSID_clsVELK10A, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, library.put_void()),
              S_OK);
    EXPECT_EQ(can_unload_(), S_FALSE);
  }
  EXPECT_EQ(can_unload_(), S_OK);
  winkit::ComPtr<IClassFactory> factory;
  ASSERT_EQ(get_class_object_(CLSID_clsVELKDebuggerA, IID_IClassFactory, factory.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(can_unload_(), S_FALSE);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(can_unload_(), S_OK);
}

TEST(LibraryClass, CreatableWithNoMembers) {
  winkit::ComPtr<IDispatch> library;
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(kLibraryProgId, &clsid), S_OK);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, library.put_void()), S_OK);

  winkit::ComPtr<IUnknown> unknown;
  EXPECT_EQ(library->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
  winkit::ComPtr<IUnknown> own;
  EXPECT_EQ(library->QueryInterface(IID__clsVELK10A, own.put_void()), S_OK);
  winkit::ComPtr<IUnknown> debugger;
  EXPECT_EQ(library->QueryInterface(IID__clsVELKDebuggerA, debugger.put_void()), E_NOINTERFACE);
  EXPECT_FALSE(debugger);

  UINT count = 0;
  EXPECT_EQ(library->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  for (const wchar_t* name : {L"AddDebugMessage", L"AppObj", L"ShowDebuggerWindow", L"Anything"}) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(library->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME) << name;
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  LateDebugger as_late(library.get());
  EXPECT_EQ(as_late.Invoke(kAddDebugMessageId, DISPATCH_METHOD).hr, DISP_E_MEMBERNOTFOUND);
}

TEST(DebuggerClass, AnswersItsOwnInterfacesOnly) {
  Sandbox box;
  winkit::ComPtr<IUnknown> object;
  ASSERT_EQ(CoCreateInstance(CLSID_clsVELKDebuggerA, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()),
            S_OK);
  winkit::ComPtr<IUnknown> dispatch, dual, other;
  EXPECT_EQ(object->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
  EXPECT_EQ(object->QueryInterface(IID__clsVELKDebuggerA, dual.put_void()), S_OK);
  EXPECT_EQ(dispatch.get(), dual.get());  // one dual interface
  EXPECT_EQ(object->QueryInterface(IID__clsVELK10A, other.put_void()), E_NOINTERFACE);
  EXPECT_FALSE(other);
}

// The viewer that creation opens cannot read a report file path that names a folder:
// the error report of CreateDebugInfoWindow, and the object is created all the same.
TEST(DebuggerClass, CreationSucceedsWhenTheViewerItOpensCannotLoad) {
  Sandbox box;
  std::filesystem::create_directories(box.ReportPath());
  box.Switches(false, true, false);
  MessageBoxWatcher watcher(L"75 -CreateDebugInfoWindow");
  LateDebugger debugger;
  EXPECT_NE(watcher.Wait().find(L"names a folder"), std::wstring::npos);
  EXPECT_TRUE(watcher.warning_icon());
  EXPECT_TRUE(debugger);
  EXPECT_EQ(wine_test::FindOwnWindow(nullptr, L"Kestrelon VELK - Debugger"), nullptr);
}

}  // namespace
}  // namespace velk10_test
