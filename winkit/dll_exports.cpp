// The exports of a winkit COM DLL, around the DllEntry that the DLL defines.
#include "winkit/dll_exports.h"

#include "winkit/module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  const winkit::DllEntry& dll = winkit::kThisDll;
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (!dll.thread_detach) DisableThreadLibraryCalls(instance);
      if (dll.process_attach) dll.process_attach();
      break;
    case DLL_THREAD_DETACH:
      if (dll.thread_detach) dll.thread_detach();
      break;
    case DLL_PROCESS_DETACH:
      if (dll.process_detach) dll.process_detach(reserved != nullptr);
      winkit::DetachModule(reserved);
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  return winkit::GetClassObject(winkit::kThisDll.server, clsid, riid, out);
}
STDAPI DllCanUnloadNow() { return winkit::CanUnloadModule(); }
STDAPI DllRegisterServer() { return winkit::RegisterServer(winkit::kThisDll.server); }
STDAPI DllUnregisterServer() { return winkit::UnregisterServer(winkit::kThisDll.server); }
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
  return winkit::InstallServer(winkit::kThisDll.server, install, command_line);
}
