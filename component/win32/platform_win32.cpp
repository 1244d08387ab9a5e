#include "component/win32/platform_win32.h"

#include <windows.h>
#include <oleauto.h>

#include <map>

#include "outside/win32/variant_value.h"
#include "winkit/file_lock.h"
#include "winkit/wide_text.h"

namespace component {

Text VariantValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsNull() || value.IsEmpty()) return Text();
  const Value::Date* date = value.AsDate();
  if (date && has_last_date_ && date->serial == last_date_) return last_date_text_;
  VARIANT in, out;
  outside::ToVariant(value, in);
  VariantInit(&out);
  HRESULT hr = VariantChangeTypeEx(&out, &in, LOCALE_USER_DEFAULT, 0, VT_BSTR);
  VariantClear(&in);
  if (FAILED(hr)) throw outside::ErrorFromResult(hr);
  Text text(reinterpret_cast<const char16_t*>(V_BSTR(&out)), SysStringLen(V_BSTR(&out)));
  VariantClear(&out);
  if (date) {
    last_date_ = date->serial;
    last_date_text_ = text;
    has_last_date_ = true;
  }
  return text;
}

int Win32MessageBoxes::Show(TextView text, TextView title, uint32_t style) {
  Text body(text), caption(title);
  return MessageBoxW(nullptr, winkit::Wide(body), winkit::Wide(caption), style | MB_TASKMODAL);
}

Value::Date LocalClock::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wMilliseconds = 0;  // the text form shows whole seconds
  double serial = 0;
  SystemTimeToVariantTime(&now, &serial);
  return {serial};
}

namespace {

// A named lock costs no platform call while nobody else wants it. Its state is a word in
// a small shared page named after the lock (every process of the session maps the same
// page): the holding process's id, taken and given back with atomic operations. Threads
// of one process queue before that on a critical section of the process, which also
// lets a thread take a lock it holds again. Only a process that finds the lock taken
// makes platform calls: it marks the lock wanted and waits on the lock's named event,
// which the holder signals when it gives back a wanted lock. A waiter that won the lock
// marks it wanted again for whoever else may still wait; at worst that costs one signal
// too many, also when a waiter ended while waiting. A waiter that waited long looks for
// the holder's life mark, a named object each process keeps while it is loaded; when
// the mark is gone the holder ended without giving the lock back, and the waiter takes
// it over, as an abandoned mutex is acquired.
struct SharedLockState {
  volatile LONGLONG holder;  // life-mark id of the holding process; 0 when free
  volatile LONG wanted;      // 1 when someone may be waiting on the event
};

constexpr DWORD kHolderCheckMilliseconds = 100;

const wchar_t* W(const Text& text) { return winkit::Wide(text); }

common::AutomationError ReportFileLockedError() {
  return common::AutomationError(common::error_number::kPathFileAccess,
                                 u"Path/File access error: another program keeps the report file locked");
}

[[noreturn]] void RaiseLastError() {
  DWORD code = GetLastError();
  throw outside::ErrorFromResult(HRESULT_FROM_WIN32(code ? code : ERROR_INVALID_HANDLE));
}

Text LifeMarkName(LONGLONG id) {
  Text name = u"Local\\velk10.lock-holder.";
  for (int shift = 60; shift >= 0; shift -= 4)
    name += u"0123456789abcdef"[(static_cast<ULONGLONG>(id) >> shift) & 15];
  return name;
}

// This process's id in lock words: its process id and its start time, so that a later
// process with the same id never passes for one that ended.
class LifeMark {
 public:
  LifeMark() {
    FILETIME created{}, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    id_ = (static_cast<LONGLONG>(GetCurrentProcessId()) << 32) | (created.dwLowDateTime | 1);
    mark_ = CreateEventW(nullptr, TRUE, FALSE, W(LifeMarkName(id_)));
  }
  ~LifeMark() {
    if (mark_) CloseHandle(mark_);
  }
  LifeMark(const LifeMark&) = delete;
  LifeMark& operator=(const LifeMark&) = delete;
  // Throws when the mark could not be made: without it, others would take our locks.
  LONGLONG id() const {
    if (!mark_) throw outside::ErrorFromResult(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE));
    return id_;
  }

 private:
  LONGLONG id_ = 0;
  HANDLE mark_ = nullptr;
};

LifeMark& ThisProcess() {
  static LifeMark mark;
  return mark;
}

bool HolderEnded(LONGLONG holder) {
  HANDLE mark = OpenEventW(SYNCHRONIZE, FALSE, W(LifeMarkName(holder)));
  if (mark) {
    CloseHandle(mark);
    return false;
  }
  return GetLastError() == ERROR_FILE_NOT_FOUND;
}

class SharedLock {
 public:
  explicit SharedLock(TextView name) {
    InitializeCriticalSection(&threads_);
    Text base = u"Local\\" + Text(name);
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedLockState),
                                  W(base + u".state"));
    if (mapping_)
      state_ = static_cast<SharedLockState*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(SharedLockState)));
    if (state_) released_ = CreateEventW(nullptr, FALSE, FALSE, W(base + u".released"));
    if (!released_) {
      DWORD code = GetLastError();
      Close();
      SetLastError(code);
      RaiseLastError();
    }
  }
  ~SharedLock() { Close(); }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;

  void Acquire() {
    LONGLONG me = ThisProcess().id();
    EnterCriticalSection(&threads_);
    if (depth_++ > 0) return;  // this thread holds it already
    try {
      if (InterlockedCompareExchange64(&state_->holder, me, 0) != 0) WaitForTurn(me);
    } catch (...) {
      --depth_;
      LeaveCriticalSection(&threads_);
      throw;
    }
  }

  void Release() {
    if (--depth_ == 0) {
      InterlockedExchange64(&state_->holder, 0);
      if (InterlockedExchange(&state_->wanted, 0)) SetEvent(released_);
    }
    LeaveCriticalSection(&threads_);
  }

 private:
  // Marked wanted before each try, so a holder giving it back after a failed try signals.
  void WaitForTurn(LONGLONG me) {
    for (;;) {
      InterlockedExchange(&state_->wanted, 1);
      LONGLONG holder = InterlockedCompareExchange64(&state_->holder, me, 0);
      if (holder == 0) break;
      DWORD waited = WaitForSingleObject(released_, kHolderCheckMilliseconds);
      if (waited == WAIT_FAILED) RaiseLastError();
      if (waited == WAIT_TIMEOUT && HolderEnded(holder) &&
          InterlockedCompareExchange64(&state_->holder, me, holder) == holder)
        break;  // its holder ended without giving it back: abandoned, now ours
    }
    InterlockedExchange(&state_->wanted, 1);  // others may still wait
  }

  void Close() {
    if (released_) CloseHandle(released_);
    if (state_) UnmapViewOfFile(const_cast<SharedLockState*>(state_));
    if (mapping_) CloseHandle(mapping_);
    DeleteCriticalSection(&threads_);
  }

  CRITICAL_SECTION threads_;
  int depth_ = 0;  // acquisitions by the thread inside threads_
  HANDLE mapping_ = nullptr;
  SharedLockState* state_ = nullptr;
  HANDLE released_ = nullptr;  // auto-reset: one waiter at a time tries again
};

// The locks of this process by name, opened on first use and kept while the module is
// loaded: opening them costs more platform calls than taking them.
class OpenLocks {
 public:
  SharedLock& Get(TextView name) {
    AcquireSRWLockShared(&guard_);
    auto found = locks_.find(name);
    SharedLock* known = found != locks_.end() ? found->second.get() : nullptr;
    ReleaseSRWLockShared(&guard_);
    if (known) return *known;

    auto opened = std::make_unique<SharedLock>(name);
    AcquireSRWLockExclusive(&guard_);
    auto entry = locks_.emplace(Text(name), std::move(opened)).first;  // kept if another thread was first
    SharedLock& kept = *entry->second;
    ReleaseSRWLockExclusive(&guard_);
    return kept;
  }

 private:
  SRWLOCK guard_ = SRWLOCK_INIT;
  std::map<Text, std::unique_ptr<SharedLock>, std::less<>> locks_;
};

OpenLocks& ProcessLocks() {
  static OpenLocks locks;
  return locks;
}

class SharedLockGuard : public CrossProcessLocks::Guard {
 public:
  explicit SharedLockGuard(SharedLock& lock) : lock_(lock) {}
  ~SharedLockGuard() override { lock_.Release(); }

 private:
  SharedLock& lock_;
};

}  // namespace

std::unique_ptr<CrossProcessLocks::Guard> SessionLocks::Acquire(TextView name) {
  SharedLock& lock = ProcessLocks().Get(name);
  lock.Acquire();
  try {
    return std::make_unique<SharedLockGuard>(lock);
  } catch (...) {
    lock.Release();
    throw;
  }
}

namespace {

class FileSlotGuard : public CrossProcessLocks::Guard {
 public:
  explicit FileSlotGuard(winkit::Handle file) : file_(std::move(file)) {}
  ~FileSlotGuard() override {
    if (file_) winkit::UnlockFileSlot(file_.get(), winkit::FileLockSlot::kReportCounter);
  }

 private:
  winkit::Handle file_;  // empty when nothing is held
};

}  // namespace

// The file is opened for each message and closed after it: an open handle would keep
// the user from deleting the report folder while a client runs.
std::unique_ptr<CrossProcessLocks::Guard> SessionLocks::AcquireReportCounter(TextView path) {
  winkit::Handle file =
      winkit::OpenLocked(std::wstring(W(Text(path))), winkit::FileLockSlot::kReportCounter, /*create=*/true);
  if (!file && GetLastError() == ERROR_LOCK_VIOLATION) throw ReportFileLockedError();
  return std::make_unique<FileSlotGuard>(std::move(file));  // empty: the handler says what is wrong with the path
}

}  // namespace component
