#include "winkit/server.h"

#include <olectl.h>

#include <string>

#include "winkit/handles.h"
#include "winkit/module.h"

namespace winkit {

namespace {

// A 32-bit and a 64-bit build of a server register side by side on 64-bit Windows: each
// writes its class keys in its own registry view and its type library under its own
// platform subkey. ProgIDs and type library keys are one for both views, and
// RegisterTypeLib writes (and UnRegisterTypeLib removes) the interface keys in both, so
// those stay while the other build is still registered.
#ifdef _WIN64
constexpr SYSKIND kOwnPlatform = SYS_WIN64;
constexpr SYSKIND kOtherPlatform = SYS_WIN32;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr SYSKIND kOwnPlatform = SYS_WIN32;
constexpr SYSKIND kOtherPlatform = SYS_WIN64;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;  // ignored where there is no other view
#endif

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

// Sets a text value (nullptr name: the default value), creating the key when missing.
LSTATUS SetText(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  Key key;
  LSTATUS status =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The default value of HKCR\path, empty when absent.
std::wstring ReadText(const std::wstring& path) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
    return {};
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

LSTATUS DeleteTree(const std::wstring& path) {
  LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Deletes a ProgID key only when it names this class.
LSTATUS DeleteProgId(const std::wstring& prog_id, const std::wstring& clsid) {
  if (_wcsicmp(ReadText(prog_id + L"\\CLSID").c_str(), clsid.c_str()) != 0) return ERROR_SUCCESS;
  return DeleteTree(prog_id);
}

// The ProgID key that builds before this one wrote beside the class's ProgID.
std::wstring EarlierProgId(const ServerEntry& server, const ClassEntry& entry) {
  return std::wstring(entry.prog_id) + L"." + std::to_wstring(server.major);
}

// True when HKCR\path exists in the given view (0: this process's own).
bool KeyExists(const std::wstring& path, REGSAM view = 0) {
  Key key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// The class is registered in the other bitness's view.
bool OtherViewHasClass(const ClassEntry& entry) {
  return KeyExists(L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32", kOtherView);
}

// HKCR\TypeLib\{libid}\<major>.<minor> (hexadecimal, as RegisterTypeLib writes it).
std::wstring TypeLibKey(const ServerEntry& server) {
  wchar_t version[16];
  swprintf(version, 16, L"%x.%x", server.major, server.minor);
  return L"TypeLib\\" + GuidText(*server.libid) + L"\\" + version;
}

// The platform subkey of the library's language-neutral registration.
std::wstring PlatformKey(const ServerEntry& server, SYSKIND platform) {
  return TypeLibKey(server) + (platform == SYS_WIN64 ? L"\\0\\win64" : L"\\0\\win32");
}

enum class ProgIds { kRemove, kKeepForOtherView };

// Removes the class's CLSID key in this view and the ProgID keys that name it (its own
// and the one earlier builds wrote beside it); with kKeepForOtherView, the ProgID keys
// stay while the other bitness still registers the class.
LSTATUS DeleteClassKeys(const ServerEntry& server, const ClassEntry& entry, ProgIds prog_ids) {
  const std::wstring clsid = GuidText(*entry.clsid);
  LSTATUS status = DeleteTree(L"CLSID\\" + clsid);
  if (status != ERROR_SUCCESS || (prog_ids == ProgIds::kKeepForOtherView && OtherViewHasClass(entry))) return status;
  for (const std::wstring& prog_id : {std::wstring(entry.prog_id), EarlierProgId(server, entry)}) {
    status = DeleteProgId(prog_id, clsid);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

// Removes this bitness's platform subkey of the type library while the other's stays:
// the interface keys and the rest of the library's key are still the other's, and its
// help folder is the other's again.
LSTATUS DeleteOwnPlatformKey(const ServerEntry& server) {
  LSTATUS status = DeleteTree(PlatformKey(server, kOwnPlatform));
  if (status != ERROR_SUCCESS) return status;
  const std::wstring other_path = ReadText(PlatformKey(server, kOtherPlatform));
  const size_t folder_end = other_path.find_last_of(L"\\/");
  if (folder_end == std::wstring::npos || !KeyExists(TypeLibKey(server) + L"\\HELPDIR")) return ERROR_SUCCESS;
  return SetText(TypeLibKey(server) + L"\\HELPDIR", nullptr, other_path.substr(0, folder_end));
}

LSTATUS WriteClassKeys(const ServerEntry& server, const ClassEntry& entry, const std::wstring& module) {
  const std::wstring clsid = GuidText(*entry.clsid);
  const std::wstring key = L"CLSID\\" + clsid;
  const std::wstring prog_id = entry.prog_id;
  const std::wstring version = std::to_wstring(server.major) + L"." + std::to_wstring(server.minor);
  const struct {
    std::wstring path;
    const wchar_t* name;
    std::wstring value;
  } values[] = {
      {key, nullptr, entry.description},
      {key + L"\\InprocServer32", nullptr, module},
      {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {key + L"\\ProgID", nullptr, prog_id},
      {key + L"\\VersionIndependentProgID", nullptr, prog_id},
      {key + L"\\TypeLib", nullptr, GuidText(*server.libid)},
      {key + L"\\Version", nullptr, version},
      {prog_id, nullptr, entry.description},
      {prog_id + L"\\CLSID", nullptr, clsid},
  };
  // Written afresh, so that nothing an earlier registration left (another ProgID, a
  // CurVer pointing to it) stays beside these entries.
  LSTATUS status = DeleteClassKeys(server, entry, ProgIds::kRemove);
  for (const auto& v : values) {
    if (status != ERROR_SUCCESS) break;
    status = SetText(v.path, v.name, v.value);
  }
  return status;
}

}  // namespace

HRESULT GetClassObject(const ServerEntry& server, REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (size_t i = 0; i < server.class_count; ++i)
    if (IsEqualCLSID(clsid, *server.classes[i].clsid)) return CreateClassFactory(server.classes[i].create, riid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterServer(const ServerEntry& server) {
  const std::wstring module = ModulePath();
  if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.put());
  if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.get(), const_cast<OLECHAR*>(module.c_str()), nullptr);
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  for (size_t i = 0; i < server.class_count; ++i) {
    if (WriteClassKeys(server, server.classes[i], module) != ERROR_SUCCESS) {
      UnregisterServer(server);
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

HRESULT UnregisterServer(const ServerEntry& server) {
  HRESULT result = S_OK;
  for (size_t i = 0; i < server.class_count; ++i)
    if (DeleteClassKeys(server, server.classes[i], ProgIds::kKeepForOtherView) != ERROR_SUCCESS)
      result = SELFREG_E_CLASS;
  if (KeyExists(PlatformKey(server, kOtherPlatform))) {
    if (DeleteOwnPlatformKey(server) != ERROR_SUCCESS) result = SELFREG_E_TYPELIB;
    return result;
  }
  // The last registration: also removes the interface keys that RegisterTypeLib wrote.
  Bstr registered_path;
  if (SUCCEEDED(QueryPathOfRegTypeLib(*server.libid, server.major, server.minor, LOCALE_NEUTRAL,
                                      registered_path.put())) &&
      FAILED(UnRegisterTypeLib(*server.libid, server.major, server.minor, LOCALE_NEUTRAL, kOwnPlatform)))
    result = SELFREG_E_TYPELIB;
  return result;
}

}  // namespace winkit
