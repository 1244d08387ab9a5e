#pragma once
// clsVELKDebuggerA and clsVELK10A, the two public classes of velk10.dll.
#include <windows.h>

namespace velk {

extern const wchar_t kDebuggerProgId[];
extern const wchar_t kLibraryProgId[];

// Creates a debugger object: runs its initialisation, whose failure is the creation's.
HRESULT CreateDebuggerObject(REFIID riid, void** out);
// Creates the library's global object, which has no members.
HRESULT CreateLibraryObject(REFIID riid, void** out);

}  // namespace velk
