#pragma once
// The in-process server around a DLL's classes: class objects for DllGetClassObject and
// the registry entries written by DllRegisterServer and removed by DllUnregisterServer.
//
// For each class, registration writes
//   HKCR\CLSID\{clsid}                        description
//     InprocServer32                          the DLL's path, ThreadingModel=Apartment
//     ProgID, VersionIndependentProgID        <ProgID>, the name clients create the class by
//     TypeLib, Version                        the type library's LIBID and version
//   HKCR\<ProgID>\CLSID                       {clsid}
// and registers the embedded type library (RegisterTypeLib), which adds the interface
// keys marshalled through it (ProxyStubClsid32 {00020424-0000-0000-C000-000000000046}).
// Unregistration removes these. Both remove the <ProgID>.<major> key that earlier builds
// wrote as well, and leave a ProgID key alone when it names another class.
//
// The 32-bit and the 64-bit build of a DLL register side by side: each in its own view
// of the CLSID keys and under its own platform subkey of the type library (win32,
// win64). The views share the ProgID and TypeLib keys, and the interface keys belong to
// both, so unregistering one build keeps those while the other is registered (and gives
// the library's HELPDIR back to it); the last one removes them.
//
// For the user (Scope::kUser, what DllInstall does with the command line "user") the same
// class and ProgID keys go under HKCU\Software\Classes instead of HKCR, and the type
// library is registered with RegisterTypeLibForUser; nothing is written machine-wide.
#include <windows.h>

#include <cstddef>

#include "winkit/class_factory.h"

namespace winkit {

struct ClassEntry {
  const CLSID* clsid;
  const wchar_t* prog_id;  // version-independent
  const wchar_t* description;
  CreateFunction create;
};

struct ServerEntry {
  const GUID* libid;
  WORD major;
  WORD minor;
  const ClassEntry* classes;
  size_t class_count;
};

HRESULT GetClassObject(const ServerEntry& server, REFCLSID clsid, REFIID riid, void** out);
// Where the entries go: HKCR (DllRegisterServer) or HKCU\Software\Classes.
enum class Scope { kMachine, kUser };

HRESULT RegisterServer(const ServerEntry& server, Scope scope = Scope::kMachine);
HRESULT UnregisterServer(const ServerEntry& server, Scope scope = Scope::kMachine);
// DllInstall: the command line "user" (regsvr32 /n /i:user) registers or unregisters for
// the user; "machine" or none does what DllRegisterServer and DllUnregisterServer do;
// anything else is refused with E_INVALIDARG.
HRESULT InstallServer(const ServerEntry& server, BOOL install, const wchar_t* command_line);

}  // namespace winkit
