#pragma once
// The exports of an in-process COM server built on winkit (DllMain, DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer, DllUnregisterServer, DllInstall), written once in
// winkit/dll_exports.cpp, which each DLL compiles in beside its .def file (com_dll() in
// cmake/win32.cmake). The DLL defines kThisDll: what the exports serve.
#include <windows.h>

#include "winkit/server.h"

namespace winkit {

struct DllEntry {
  ServerEntry server;
  // What the DLL does itself when it is loaded, when one of its client's threads ends and
  // when it is unloaded (before winkit frees its cached type information); each may be
  // null. A DLL without thread_detach is not told of threads at all.
  void (*process_attach)();
  void (*thread_detach)();
  void (*process_detach)(bool process_ending);
};

// Defined by each DLL.
extern const DllEntry kThisDll;

}  // namespace winkit
