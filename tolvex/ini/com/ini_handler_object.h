#pragma once
// clsTolvexINIFileHandler1A: the INI file handler object.
#include <windows.h>

namespace tolvex {

extern const wchar_t kIniHandlerProgId[];
HRESULT CreateIniHandlerObject(REFIID riid, void** out);

}  // namespace tolvex
