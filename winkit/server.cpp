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
  wchar_t buffer[64] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return {};
  return buffer;
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

// Removes the class's ProgID keys that name it (its own and the one earlier builds
// wrote beside it) and its CLSID key.
LSTATUS DeleteClassKeys(HKEY root, const ServerEntry& server, const ClassEntry& entry) {
  const std::wstring clsid = GuidText(*entry.clsid);
  for (const std::wstring& prog_id : {std::wstring(entry.prog_id), EarlierProgId(server, entry)}) {
    LSTATUS status = DeleteProgId(root, prog_id, clsid);
    if (status != ERROR_SUCCESS) return status;
  }
  return DeleteTree(root, L"CLSID\\" + clsid);
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
  LSTATUS status = DeleteClassKeys(root, server, entry);
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
    if (DeleteClassKeys(root.get(), server, server.classes[i]) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
  // Also removes the interface keys that RegisterTypeLib wrote.
  const auto unregister = scope == Scope::kUser ? UnRegisterTypeLibForUser : UnRegisterTypeLib;
  Bstr registered_path;
  if (SUCCEEDED(QueryPathOfRegTypeLib(*server.libid, server.major, server.minor, LOCALE_NEUTRAL,
                                      registered_path.put())) &&
      FAILED(unregister(*server.libid, server.major, server.minor, LOCALE_NEUTRAL, SYS_WIN32)))
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
