#include "component/win32/cross_process_locks.h"

#include <windows.h>

#include "outside/win32/dispatch_object.h"
#include "winkit/cross_process_lock.h"

namespace component {

namespace {

constexpr auto kCounterSlot = winkit::FileLockSlot::kReportCounter;

std::wstring Wide(TextView text) { return std::wstring(text.begin(), text.end()); }

[[noreturn]] void RaiseLastError() {
  DWORD code = GetLastError();
  throw outside::ErrorFromResult(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_HANDLE));
}

common::AutomationError ReportFileLockedError() {
  return common::AutomationError(common::error_number::kPathFileAccess,
                                 u"Path/File access error: another program keeps the report file locked");
}

class NamedLockGuard : public CrossProcessLocks::Guard {
 public:
  explicit NamedLockGuard(winkit::HeldNamedLock held) : held_(std::move(held)) {}

 private:
  winkit::HeldNamedLock held_;
};

class FileSlotGuard : public CrossProcessLocks::Guard {
 public:
  explicit FileSlotGuard(winkit::Handle file) : file_(std::move(file)) {}
  ~FileSlotGuard() override {
    if (file_) winkit::UnlockFileSlot(file_.get(), kCounterSlot);
  }

 private:
  winkit::Handle file_;  // empty when nothing is held
};

}  // namespace

std::unique_ptr<CrossProcessLocks::Guard> Win32CrossProcessLocks::Acquire(TextView name) {
  auto found = named_.find(name);
  if (found == named_.end()) {
    winkit::Handle lock = winkit::OpenNamedLock(Wide(name));
    if (!lock) RaiseLastError();
    found = named_.emplace(Text(name), std::move(lock)).first;
  }
  winkit::HeldNamedLock held = winkit::TakeNamedLock(found->second.get());
  if (!held) RaiseLastError();
  return std::make_unique<NamedLockGuard>(std::move(held));
}

// The file is opened for each message and closed after it: an open handle would keep
// the user from deleting the report folder while a client runs.
std::unique_ptr<CrossProcessLocks::Guard> Win32CrossProcessLocks::AcquireReportCounter(TextView path) {
  winkit::Handle file = winkit::OpenLocked(Wide(path), kCounterSlot, /*create=*/true);
  if (!file && GetLastError() == ERROR_LOCK_VIOLATION) throw ReportFileLockedError();
  return std::make_unique<FileSlotGuard>(std::move(file));  // empty: the handler says what is wrong with the path
}

}  // namespace component
