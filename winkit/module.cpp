#include "winkit/module.h"

#include "winkit/dispatch.h"

namespace winkit {

namespace {
LONG g_locks = 0;
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
HRESULT CanUnloadModule() { return InterlockedCompareExchange(&g_locks, 0, 0) == 0 ? S_OK : S_FALSE; }

void DetachModule(LPVOID reserved) {
  if (!reserved) DispatchType::ReleaseAll();
}

}  // namespace winkit
