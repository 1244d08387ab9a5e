#pragma once
// The DLL that holds this code: its handle and file name, and the count of live objects,
// class factories and server locks that DllCanUnloadNow answers from.
#include <windows.h>

#include <string>

namespace winkit {

HMODULE ThisModule();
std::wstring ModulePath();

void LockModule();
void UnlockModule();
// S_OK when nothing holds the module, S_FALSE otherwise.
HRESULT CanUnloadModule();

// Called from DllMain on DLL_PROCESS_DETACH: frees cached type information when the DLL
// is unloaded by FreeLibrary (not at process exit, when other DLLs may be gone).
void DetachModule(LPVOID reserved);

}  // namespace winkit
