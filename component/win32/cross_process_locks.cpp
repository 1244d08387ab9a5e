#include "component/win32/cross_process_locks.h"

#include <windows.h>

#include "outside/win32/dispatch_client.h"
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
  FileSlotGuard() = default;
  FileSlotGuard(std::shared_ptr<winkit::Handle> file, winkit::HeldFileSlot held)
      : file_(std::move(file)), held_(std::move(held)) {}
  std::shared_ptr<void> Kept() const override { return file_; }

 private:
  std::shared_ptr<winkit::Handle> file_;  // kept open while its lock is held
  winkit::HeldFileSlot held_;             // empty when nothing is held
};

}  // namespace

std::unique_ptr<CrossProcessLocks::Guard> Win32CrossProcessLocks::Acquire(TextView name) {
  winkit::NamedLock* lock = winkit::OpenNamedLock(Wide(name));
  if (!lock) RaiseLastError();
  winkit::HeldNamedLock held = winkit::TakeNamedLock(lock);
  if (!held) RaiseLastError();
  return std::make_unique<NamedLockGuard>(std::move(held));
}

std::unique_ptr<CrossProcessLocks::Guard> Win32CrossProcessLocks::AcquireReportCounter(TextView path) {
  const std::wstring file_path = Wide(path);
  std::shared_ptr<winkit::Handle> kept = report_file_.lock();
  if (kept && report_path_ == path) {
    if (winkit::LockFileSlot(kept->get(), kCounterSlot)) {
      winkit::HeldFileSlot held(kept->get(), kCounterSlot);
      if (!winkit::FileWasReplaced(kept->get(), file_path))
        return std::make_unique<FileSlotGuard>(std::move(kept), std::move(held));  // the usual case: no open, no close
      // Replaced or deleted: given back here, and the file at the path opened.
    } else if (GetLastError() == ERROR_LOCK_VIOLATION) {
      throw ReportFileLockedError();
    }
  }
  kept.reset();
  report_file_.reset();
  winkit::Handle file = winkit::OpenLocked(file_path, kCounterSlot, /*create=*/true);
  if (!file) {
    if (GetLastError() == ERROR_LOCK_VIOLATION) throw ReportFileLockedError();
    return std::make_unique<FileSlotGuard>();  // the handler says what is wrong with the path
  }
  winkit::HeldFileSlot held(file.get(), kCounterSlot);
  kept = std::make_shared<winkit::Handle>(std::move(file));
  report_path_ = Text(path);
  report_file_ = kept;
  return std::make_unique<FileSlotGuard>(std::move(kept), std::move(held));
}

}  // namespace component
