#include "component/win32/cross_process_locks.h"

#include <windows.h>

#include "outside/win32/dispatch_client.h"
#include "winkit/file_lock.h"
#include "winkit/named_mutex.h"
#include "winkit/wide_text.h"

namespace component {

namespace {

[[noreturn]] void RaiseLastError() {
  DWORD code = GetLastError();
  throw outside::ErrorFromResult(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_HANDLE));
}

class HeldMutexGuard : public CrossProcessLocks::Guard {
 public:
  explicit HeldMutexGuard(winkit::HeldMutex held) : held_(std::move(held)) {}

 private:
  winkit::HeldMutex held_;
};

class FileLockGuard : public CrossProcessLocks::Guard {
 public:
  explicit FileLockGuard(winkit::FileLock lock) : lock_(std::move(lock)) {}

 private:
  winkit::FileLock lock_;  // empty when nothing is held
};

}  // namespace

std::unique_ptr<CrossProcessLocks::Guard> Win32CrossProcessLocks::Acquire(TextView name) {
  auto known = mutexes_.find(name);
  if (known == mutexes_.end()) {
    winkit::Handle mutex = winkit::OpenNamedMutex(winkit::WideCopy(name));
    if (!mutex) RaiseLastError();
    known = mutexes_.emplace(Text(name), std::move(mutex)).first;
  }
  winkit::HeldMutex held = winkit::TakeMutex(known->second.get());
  if (!held) RaiseLastError();
  return std::make_unique<HeldMutexGuard>(std::move(held));
}

std::unique_ptr<CrossProcessLocks::Guard> Win32CrossProcessLocks::AcquireReportCounter(TextView path) {
  winkit::FileLock lock =
      winkit::FileLock::Open(winkit::WideCopy(path), winkit::FileLockSlot::kReportCounter, /*create=*/true);
  if (!lock) {
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_SHARING_VIOLATION)
      throw common::AutomationError(common::error_number::kPathFileAccess,
                                    u"Path/File access error: another program keeps the report file locked");
    // The INI file handler says what is wrong with the path at its first use of it.
  }
  return std::make_unique<FileLockGuard>(std::move(lock));
}

}  // namespace component
