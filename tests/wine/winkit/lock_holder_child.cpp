// Holds a lock for the lock tests:
//   lock_holder_child.exe <named|file> <lock name or file path> <ready event> <release event>
// Takes the lock (held_lock.h), signals the ready event, and gives the lock back once the
// release event is signalled (unless it is killed before).
#include <windows.h>

#include "held_lock.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
  if (!ready || !release) return 3;
  locktest::HeldLock lock = locktest::TakeLock(argv[1], argv[2]);
  if (!lock) return 5;
  SetEvent(ready);
  if (WaitForSingleObject(release, 60000) != WAIT_OBJECT_0) return 4;
  return 0;
}
