// What regsvr32 left in the registry for both DLLs, and the module counts behind
// DllCanUnloadNow.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/prog_id_of.h"
#include "tolvex10.h"
#include "tolvex11.h"
#include "winkit/handles.h"

namespace {

struct Server {
  const wchar_t* dll;
  const CLSID* clsid;
  const IID* iid;
  const GUID* libid;
  const wchar_t* prog_id;
};
const Server kServers[] = {
    {L"tolvex10.dll", &CLSID_clsTolvexINIFileHandler1A, &IID__clsTolvexINIFileHandler1A, &LIBID_TOLVEX10,
     L"TOLVEX10.clsTolvexINIFileHandler1A"},
    {L"tolvex11.dll", &CLSID_clsTolvex11RunTimeA, &IID__clsTolvex11RunTimeA, &LIBID_TOLVEX11,
     L"TOLVEX11.clsTolvex11RunTimeA"},
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

// A text value under HKEY_CLASSES_ROOT; "<absent>" when there is none.
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return L"<absent>";
  return buffer;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

TEST(Registration, ClassProgIdInterfaceAndTypeLibraryEntries) {
  for (const Server& server : kServers) {
    SCOPED_TRACE(testing::Message() << server.dll);
    const std::wstring clsid = GuidText(*server.clsid), prog_id = server.prog_id;
    const std::wstring key = L"CLSID\\" + clsid;
    EXPECT_TRUE(EndsWithNoCase(ClassesValue(key + L"\\InprocServer32"), std::wstring(L"\\") + server.dll));
    EXPECT_EQ(ClassesValue(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ClassesValue(key + L"\\VersionIndependentProgID"), prog_id);
    EXPECT_EQ(ClassesValue(key + L"\\TypeLib"), GuidText(*server.libid));
    // The name a host gets for the class is the one that creates it.
    EXPECT_EQ(ProgIdOf(*server.clsid), prog_id);
    CLSID created_by;
    ASSERT_EQ(CLSIDFromProgID(server.prog_id, &created_by), S_OK);
    EXPECT_EQ(GuidText(created_by), clsid);

    const std::wstring iface = L"Interface\\" + GuidText(*server.iid);
    EXPECT_EQ(ClassesValue(iface + L"\\ProxyStubClsid32"), L"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(ClassesValue(iface + L"\\TypeLib"), GuidText(*server.libid));

    winkit::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(*server.libid, 1, 0, LOCALE_NEUTRAL, library.put()), S_OK);
    winkit::ComPtr<ITypeInfo> info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(*server.iid, info.put()), S_OK);
  }
}

TEST(Registration, DllStaysLoadedWhileObjectsFactoriesOrLocksLive) {
  for (const Server& server : kServers) {
    SCOPED_TRACE(testing::Message() << server.dll);
    const std::wstring path = ClassesValue(L"CLSID\\" + GuidText(*server.clsid) + L"\\InprocServer32");
    HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr);
    // Through the generic function pointer type: FARPROC's return type is pointer-sized.
    auto can_unload =
        reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(can_unload, nullptr);
    EXPECT_EQ(can_unload(), S_OK);

    winkit::ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(*server.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()), S_OK);
    EXPECT_EQ(can_unload(), S_FALSE);
    object.reset();
    EXPECT_EQ(can_unload(), S_OK);

    winkit::ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(*server.clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()),
              S_OK);
    EXPECT_EQ(can_unload(), S_FALSE);
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, object.put_void()), CLASS_E_NOAGGREGATION);
    factory->LockServer(TRUE);
    factory.reset();
    EXPECT_EQ(can_unload(), S_FALSE);
    ASSERT_EQ(CoGetClassObject(*server.clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()),
              S_OK);
    factory->LockServer(FALSE);
    factory.reset();
    EXPECT_EQ(can_unload(), S_OK);
    FreeLibrary(module);
  }
}

}  // namespace
