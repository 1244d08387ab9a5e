#pragma once
// A class factory for any class that a creation function makes.
#include <windows.h>
#include <unknwn.h>

namespace winkit {

using CreateFunction = HRESULT (*)(REFIID riid, void** out);

// A new factory whose CreateInstance calls create; answers riid.
HRESULT CreateClassFactory(CreateFunction create, REFIID riid, void** out);

}  // namespace winkit
