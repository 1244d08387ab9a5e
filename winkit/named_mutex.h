#pragma once
// A named mutex of the machine's session: every process of the session, 32-bit and 64-bit
// alike, meets the same one. The thread that holds it may take it again (each take is
// given back once). A holder that ends without giving it back (a killed process) leaves
// it abandoned, and the next taker has it: whatever it guards must be left whole by a
// holder killed at any moment.
#include <windows.h>

#include <string>

#include "winkit/handles.h"

namespace winkit {

struct ReleaseMutexTraits {
  static HANDLE none() { return nullptr; }
  static bool valid(HANDLE mutex) { return mutex != nullptr; }
  static void free(HANDLE mutex) { ReleaseMutex(mutex); }
};
// A mutex this thread holds, given back when it goes out of scope (on the thread that
// took it). It does not own the mutex's handle.
using HeldMutex = Unique<HANDLE, ReleaseMutexTraits>;

// The session's mutex called `name`, made when nobody has it yet; empty when the platform
// refuses (the last error says why).
Handle OpenNamedMutex(const std::wstring& name);

// Waits for the mutex. Empty when it stayed taken for `timeout_ms` (the last error is
// then ERROR_TIMEOUT) or the wait failed (the last error says why).
HeldMutex TakeMutex(HANDLE mutex, DWORD timeout_ms = INFINITE);

}  // namespace winkit
