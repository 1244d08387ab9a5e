#pragma once
// clsTolvex11RunTimeA: the run-time support object.
#include <windows.h>

namespace tolvex {

extern const wchar_t kRuntimeProgId[];
HRESULT CreateRuntimeObject(REFIID riid, void** out);

}  // namespace tolvex
