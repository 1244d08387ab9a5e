// velk10.dll: the in-process server of clsVELKDebuggerA and clsVELK10A.
#include <windows.h>

#include "com/debugger_object.h"
#include "com/thread_context.h"
#include "velk10.h"
#include "winkit/module.h"
#include "winkit/server.h"

namespace {

const winkit::ClassEntry kClasses[] = {
    {&CLSID_clsVELKDebuggerA, velk::kDebuggerProgId, L"VELK10 debugger", velk::CreateDebuggerObject},
    {&CLSID_clsVELK10A, velk::kLibraryProgId, L"VELK10 library", velk::CreateLibraryObject},
};
const winkit::ServerEntry kServer = {&LIBID_VELK10, 1, 0, kClasses, 2};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      velk::AttachThreadContexts();
      break;
    case DLL_THREAD_DETACH:
      velk::DetachThreadContext();
      break;
    case DLL_PROCESS_DETACH:
      velk::DetachThreadContexts(reserved != nullptr);
      winkit::DetachModule(reserved);
      break;
  }
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
