// Holds a named lock for the lock tests:
//   lock_holder_child.exe <lock name> <ready event> <release event>
// Takes the lock through the platform's locks, signals the ready event, and gives the
// lock back once the release event is signalled (unless it is killed before).
#include <windows.h>

#include <string>

#include "component/win32/platform_win32.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  std::wstring name = argv[1];
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
  if (!ready || !release) return 3;
  component::SessionLocks locks;
  auto guard = locks.Acquire(common::Text(name.begin(), name.end()));
  SetEvent(ready);
  if (WaitForSingleObject(release, 60000) != WAIT_OBJECT_0) return 4;
  guard.reset();
  return 0;
}
