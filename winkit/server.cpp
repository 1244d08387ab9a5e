#include "winkit/server.h"

#include <olectl.h>

#include <string>

#include "winkit/handles.h"
#include "winkit/module.h"

// Declared by the platform SDK's oleauto.h; MinGW's import library has them, its header not.
extern "C" {
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* help_dir);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind);
}

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

// The key the class entries go under: HKCR for the machine, HKCU\Software\Classes for the
// user (created when registering, only opened when unregistering).
class ClassesRoot {
 public:
  ClassesRoot(Scope scope, bool create) {
    if (scope == Scope::kMachine) {
      root_ = HKEY_CLASSES_ROOT;
      return;
    }
    status_ = create ? RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                       KEY_READ | KEY_WRITE, nullptr, user_.put(), nullptr)
                     : RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | KEY_WRITE, user_.put());
    root_ = user_.get();
  }
  HKEY get() const { return root_; }
  // ERROR_FILE_NOT_FOUND when unregistering a user who has no classes key.
  LSTATUS status() const { return status_; }

 private:
  Key user_;
  HKEY root_ = nullptr;
  LSTATUS status_ = ERROR_SUCCESS;
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

// Sets a text value (nullptr name: the default value), creating the key when missing.
LSTATUS SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  Key key;
  LSTATUS status =
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The default value of root\path, empty when absent.
std::wstring ReadText(HKEY root, const std::wstring& path) {
  DWORD size = 0;
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
    return {};
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

LSTATUS DeleteTree(HKEY root, const std::wstring& path) {
  LSTATUS status = RegDeleteTreeW(root, path.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Deletes a ProgID key only when it names this class.
LSTATUS DeleteProgId(HKEY root, const std::wstring& prog_id, const std::wstring& clsid) {
  if (_wcsicmp(ReadText(root, prog_id + L"\\CLSID").c_str(), clsid.c_str()) != 0) return ERROR_SUCCESS;
  return DeleteTree(root, prog_id);
}

// The ProgID key that builds before this one wrote beside the class's ProgID.
std::wstring EarlierProgId(const ServerEntry& server, const ClassEntry& entry) {
  return std::wstring(entry.prog_id) + L"." + std::to_wstring(server.major);
}

// True when root\path exists in the given view (0: this process's own).
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
  Key key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// The class is registered in the other bitness's view.
bool OtherViewHasClass(HKEY root, const ClassEntry& entry) {
  return KeyExists(root, L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32", kOtherView);
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
LSTATUS DeleteClassKeys(HKEY root, const ServerEntry& server, const ClassEntry& entry, ProgIds prog_ids) {
  const std::wstring clsid = GuidText(*entry.clsid);
  LSTATUS status = DeleteTree(root, L"CLSID\\" + clsid);
  if (status != ERROR_SUCCESS || (prog_ids == ProgIds::kKeepForOtherView && OtherViewHasClass(root, entry)))
    return status;
  for (const std::wstring& prog_id : {std::wstring(entry.prog_id), EarlierProgId(server, entry)}) {
    status = DeleteProgId(root, prog_id, clsid);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

// Removes this bitness's platform subkey of the type library while the other's stays:
// the interface keys and the rest of the library's key are still the other's, and its
// help folder is the other's again.
LSTATUS DeleteOwnPlatformKey(HKEY root, const ServerEntry& server) {
  LSTATUS status = DeleteTree(root, PlatformKey(server, kOwnPlatform));
  if (status != ERROR_SUCCESS) return status;
  const std::wstring other_path = ReadText(root, PlatformKey(server, kOtherPlatform));
  const size_t folder_end = other_path.find_last_of(L"\\/");
  if (folder_end == std::wstring::npos || !KeyExists(root, TypeLibKey(server) + L"\\HELPDIR")) return ERROR_SUCCESS;
  return SetText(root, TypeLibKey(server) + L"\\HELPDIR", nullptr, other_path.substr(0, folder_end));
}

LSTATUS WriteClassKeys(HKEY root, const ServerEntry& server, const ClassEntry& entry, const std::wstring& module) {
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
  LSTATUS status = DeleteClassKeys(root, server, entry, ProgIds::kRemove);
  for (const auto& v : values) {
    if (status != ERROR_SUCCESS) break;
    status = SetText(root, v.path, v.name, v.value);
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

HRESULT RegisterServer(const ServerEntry& server, Scope scope) {
  const std::wstring module = ModulePath();
  if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
  const ClassesRoot root(scope, true);
  if (root.status() != ERROR_SUCCESS) return SELFREG_E_CLASS;
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.put());
  OLECHAR* path = const_cast<OLECHAR*>(module.c_str());
  if (SUCCEEDED(hr))
    hr = scope == Scope::kUser ? RegisterTypeLibForUser(library.get(), path, nullptr)
                               : RegisterTypeLib(library.get(), path, nullptr);
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  for (size_t i = 0; i < server.class_count; ++i) {
    if (WriteClassKeys(root.get(), server, server.classes[i], module) != ERROR_SUCCESS) {
      UnregisterServer(server, scope);
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

HRESULT UnregisterServer(const ServerEntry& server, Scope scope) {
  HRESULT result = S_OK;
  const ClassesRoot root(scope, false);
  if (root.status() != ERROR_SUCCESS && root.status() != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
  for (size_t i = 0; root.get() && i < server.class_count; ++i)
    if (DeleteClassKeys(root.get(), server, server.classes[i], ProgIds::kKeepForOtherView) != ERROR_SUCCESS)
      result = SELFREG_E_CLASS;
  if (root.get() && KeyExists(root.get(), PlatformKey(server, kOtherPlatform))) {
    if (DeleteOwnPlatformKey(root.get(), server) != ERROR_SUCCESS) result = SELFREG_E_TYPELIB;
    return result;
  }
  // The last registration: also removes the interface keys that RegisterTypeLib wrote.
  const auto unregister = scope == Scope::kUser ? UnRegisterTypeLibForUser : UnRegisterTypeLib;
  Bstr registered_path;
  if (SUCCEEDED(QueryPathOfRegTypeLib(*server.libid, server.major, server.minor, LOCALE_NEUTRAL,
                                      registered_path.put())) &&
      FAILED(unregister(*server.libid, server.major, server.minor, LOCALE_NEUTRAL, kOwnPlatform)))
    result = SELFREG_E_TYPELIB;
  return result;
}

HRESULT InstallServer(const ServerEntry& server, BOOL install, const wchar_t* command_line) {
  const wchar_t* scope_name = command_line ? command_line : L"";
  Scope scope;
  if (_wcsicmp(scope_name, L"user") == 0)
    scope = Scope::kUser;
  else if (*scope_name == L'\0' || _wcsicmp(scope_name, L"machine") == 0)
    scope = Scope::kMachine;
  else
    return E_INVALIDARG;
  return install ? RegisterServer(server, scope) : UnregisterServer(server, scope);
}

}  // namespace winkit
