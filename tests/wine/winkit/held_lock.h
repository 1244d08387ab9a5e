#pragma once
// A lock of either kind that winkit/cross_process_lock.h offers, taken the same way by
// the lock tests and by their holder process:
//   "named": the named lock called `name`;
//   "file":  the report counter's slot of the file at `name` (made when missing).
#include <string>

#include "winkit/cross_process_lock.h"

namespace locktest {

struct HeldLock {
  winkit::HeldNamedLock held;    // the named lock
  winkit::Handle file;           // the locked file: closing it gives its lock back
  explicit operator bool() const { return held || file; }
};

// Waits up to a minute for the lock; empty when it was not had.
inline HeldLock TakeLock(const std::wstring& kind, const std::wstring& name) {
  constexpr DWORD kPatience = 60000;
  HeldLock lock;
  if (kind == L"named") {
    lock.held = winkit::TakeNamedLock(winkit::OpenNamedLock(name), kPatience);
  } else if (kind == L"file") {
    lock.file = winkit::OpenLocked(name, winkit::FileLockSlot::kReportCounter, /*create=*/true, kPatience);
  }
  return lock;
}

}  // namespace locktest
