#include "winkit/named_mutex.h"

namespace winkit {

Handle OpenNamedMutex(const std::wstring& name) {
  return Handle(CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str()));
}

HeldMutex TakeMutex(HANDLE mutex, DWORD timeout_ms) {
  switch (WaitForSingleObject(mutex, timeout_ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its last holder ended holding it: ours now
      return HeldMutex(mutex);
    case WAIT_TIMEOUT:
      SetLastError(ERROR_TIMEOUT);
      return {};
    default:
      return {};
  }
}

}  // namespace winkit
