#pragma once
// A lock of either kind that winkit offers, taken the same way by the lock tests and by
// their holder process:
//   "named": the session's named mutex called `name` (winkit/named_mutex.h);
//   "file":  the report counter's slot of the file at `name`, made when missing
//            (winkit/file_lock.h).
#include <string>

#include "winkit/file_lock.h"
#include "winkit/named_mutex.h"

namespace locktest {

struct HeldLock {
  winkit::Handle mutex;    // the named mutex
  winkit::HeldMutex held;  // ... held (given back before its handle closes)
  winkit::FileLock file;   // the locked file
  explicit operator bool() const { return held || file; }
};

// Waits up to a minute for the lock; empty when it was not had.
inline HeldLock TakeLock(const std::wstring& kind, const std::wstring& name) {
  constexpr DWORD kPatience = 60000;
  HeldLock lock;
  if (kind == L"named") {
    lock.mutex = winkit::OpenNamedMutex(name);
    if (lock.mutex) lock.held = winkit::TakeMutex(lock.mutex.get(), kPatience);
  } else if (kind == L"file") {
    lock.file = winkit::FileLock::Open(name, winkit::FileLockSlot::kReportCounter, /*create=*/true, kPatience);
  }
  return lock;
}

}  // namespace locktest
