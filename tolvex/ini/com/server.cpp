// tolvex10.dll: the in-process server of clsTolvexINIFileHandler1A.
#include <windows.h>

#include "tolvex/ini/com/ini_handler_object.h"
#include "tolvex10.h"
#include "winkit/module.h"
#include "winkit/server.h"

namespace {

const winkit::ClassEntry kClasses[] = {
    {&CLSID_clsTolvexINIFileHandler1A, tolvex::kIniHandlerProgId, L"TOLVEX10 INI file handler object",
     tolvex::CreateIniHandlerObject},
};
const winkit::ServerEntry kServer = {&LIBID_TOLVEX10, 1, 0, kClasses, 1};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  if (reason == DLL_PROCESS_DETACH) winkit::DetachModule(reserved);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  return winkit::GetClassObject(kServer, clsid, riid, out);
}
STDAPI DllCanUnloadNow() { return winkit::CanUnloadModule(); }
STDAPI DllRegisterServer() { return winkit::RegisterServer(kServer); }
STDAPI DllUnregisterServer() { return winkit::UnregisterServer(kServer); }
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
  return winkit::InstallServer(kServer, install, command_line);
}
