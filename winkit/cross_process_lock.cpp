#include "winkit/cross_process_lock.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace winkit {

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
//
// A named mutex would do the same with less code, but costs two platform round trips a
// take (a wait and a release); under Wine that made the registry log a quarter slower.

namespace {

struct SharedLockState {
  volatile LONGLONG holder;  // life-mark id of the holding process; 0 when free
  volatile LONG wanted;      // 1 when someone may be waiting on the event
};

constexpr DWORD kHolderCheckMilliseconds = 100;

std::wstring LifeMarkName(LONGLONG id) {
  std::wstring name = L"Local\\velk10.lock-holder.";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(static_cast<ULONGLONG>(id) >> shift) & 15];
  return name;
}

// This process's id in lock words: its process id and its start time, so that a later
// process with the same id never passes for one that ended. Its mark is an event named
// after the id, open while the module is loaded.
class LifeMark {
 public:
  LifeMark() {
    FILETIME created{}, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    id_ = (static_cast<LONGLONG>(GetCurrentProcessId()) << 32) | (created.dwLowDateTime | 1);
    mark_.reset(CreateEventW(nullptr, TRUE, FALSE, LifeMarkName(id_).c_str()));
  }
  // 0 when the mark could not be made: without it, others would take our locks.
  LONGLONG id() const { return mark_ ? id_ : 0; }

 private:
  LONGLONG id_ = 0;
  Handle mark_;
};

LONGLONG ThisProcess() {
  static LifeMark mark;
  return mark.id();
}

bool HolderEnded(LONGLONG holder) {
  Handle mark(OpenEventW(SYNCHRONIZE, FALSE, LifeMarkName(holder).c_str()));
  return !mark && GetLastError() == ERROR_FILE_NOT_FOUND;
}

struct ViewTraits {
  static void* none() { return nullptr; }
  static bool valid(void* view) { return view != nullptr; }
  static void free(void* view) { UnmapViewOfFile(view); }
};

}  // namespace

class NamedLock {
 public:
  explicit NamedLock(const std::wstring& name) {
    InitializeCriticalSection(&threads_);
    const std::wstring base = L"Local\\" + name;
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedLockState),
                                      (base + L".state").c_str()));
    if (mapping_) view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, sizeof(SharedLockState)));
    if (view_) released_.reset(CreateEventW(nullptr, FALSE, FALSE, (base + L".released").c_str()));
  }
  ~NamedLock() { DeleteCriticalSection(&threads_); }
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  bool usable() const { return static_cast<bool>(released_); }

  bool Take(DWORD timeout_ms) {
    LONGLONG me = ThisProcess();
    if (!me) return false;
    EnterCriticalSection(&threads_);
    if (depth_++ > 0) return true;  // this thread holds it already
    if (InterlockedCompareExchange64(&state()->holder, me, 0) == 0 || WaitForTurn(me, timeout_ms)) return true;
    DWORD code = GetLastError();
    --depth_;
    LeaveCriticalSection(&threads_);
    SetLastError(code);
    return false;
  }

  void GiveBack() {
    if (--depth_ == 0) {
      InterlockedExchange64(&state()->holder, 0);
      if (InterlockedExchange(&state()->wanted, 0)) SetEvent(released_.get());
    }
    LeaveCriticalSection(&threads_);
  }

 private:
  SharedLockState* state() const { return static_cast<SharedLockState*>(view_.get()); }

  // Marked wanted before each try, so a holder giving it back after a failed try signals.
  bool WaitForTurn(LONGLONG me, DWORD timeout_ms) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      InterlockedExchange(&state()->wanted, 1);
      LONGLONG holder = InterlockedCompareExchange64(&state()->holder, me, 0);
      if (holder == 0) break;
      const ULONGLONG waited_ms = GetTickCount64() - start;
      if (timeout_ms != INFINITE && waited_ms >= timeout_ms) {
        SetLastError(ERROR_TIMEOUT);
        return false;
      }
      DWORD wait = kHolderCheckMilliseconds;
      if (timeout_ms != INFINITE) wait = static_cast<DWORD>(std::min<ULONGLONG>(wait, timeout_ms - waited_ms));
      DWORD waited = WaitForSingleObject(released_.get(), wait);
      if (waited == WAIT_FAILED) return false;
      if (waited == WAIT_TIMEOUT && HolderEnded(holder) &&
          InterlockedCompareExchange64(&state()->holder, me, holder) == holder)
        break;  // its holder ended without giving it back: abandoned, now ours
    }
    InterlockedExchange(&state()->wanted, 1);  // others may still wait
    return true;
  }

  CRITICAL_SECTION threads_;
  int depth_ = 0;  // takes by the thread inside threads_
  Handle mapping_;
  Unique<void*, ViewTraits> view_;
  Handle released_;  // auto-reset: one waiter at a time tries again
};

namespace {

// The named locks of this process, opened on first use and kept while the module is
// loaded: opening one costs more platform calls than taking it.
class OpenNamedLocks {
 public:
  NamedLock* Get(const std::wstring& name) {
    AcquireSRWLockShared(&guard_);
    auto found = locks_.find(name);
    NamedLock* known = found != locks_.end() ? found->second.get() : nullptr;
    ReleaseSRWLockShared(&guard_);
    if (known) return known;

    auto opened = std::make_unique<NamedLock>(name);
    if (!opened->usable()) return nullptr;
    AcquireSRWLockExclusive(&guard_);
    NamedLock* kept = locks_.emplace(name, std::move(opened)).first->second.get();  // kept if another thread was first
    ReleaseSRWLockExclusive(&guard_);
    return kept;
  }

 private:
  SRWLOCK guard_ = SRWLOCK_INIT;
  std::map<std::wstring, std::unique_ptr<NamedLock>> locks_;
};

}  // namespace

NamedLock* OpenNamedLock(const std::wstring& name) {
  static OpenNamedLocks locks;
  return locks.Get(name);
}

HeldNamedLock TakeNamedLock(NamedLock* lock, DWORD timeout_ms) {
  return lock && lock->Take(timeout_ms) ? HeldNamedLock(lock) : HeldNamedLock();
}

void GiveBackNamedLock(NamedLock* lock) { lock->GiveBack(); }

namespace {

// Far beyond what any INI file grows to, and within every file system's lock range.
constexpr uint64_t kSlotBase = 1ull << 62;

OVERLAPPED SlotPlace(FileLockSlot slot) {
  const uint64_t at = kSlotBase + static_cast<uint64_t>(slot);
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(at);
  place.OffsetHigh = static_cast<DWORD>(at >> 32);
  return place;
}

}  // namespace

bool LockFileSlot(HANDLE file, FileLockSlot slot, DWORD timeout_ms) {
  // Asked without waiting and asked again: a lock held by a process of another Wine
  // server or another machine is refused at once rather than waited for, so a blocking
  // request would not wait for all holders alike.
  const DWORD start = GetTickCount();
  for (unsigned round = 0;; ++round) {
    OVERLAPPED place = SlotPlace(slot);
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) return true;
    DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) return false;
    if (GetTickCount() - start >= timeout_ms) {
      SetLastError(ERROR_LOCK_VIOLATION);
      return false;
    }
    if (round < 8)
      SwitchToThread();
    else
      Sleep(1);
  }
}

void UnlockFileSlot(HANDLE file, FileLockSlot slot) {
  OVERLAPPED place = SlotPlace(slot);
  UnlockFileEx(file, 0, 1, 0, &place);
}

bool IdentityOf(HANDLE file, FileIdentity* identity) {
  const auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
  if (GetFileInformationByHandleEx(file, kFileIdInfo, identity, sizeof *identity)) return true;
  BY_HANDLE_FILE_INFORMATION info{};  // systems before Windows 8
  if (!GetFileInformationByHandle(file, &info)) return false;
  *identity = FileIdentity{};
  identity->volume = info.dwVolumeSerialNumber;
  const uint64_t index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  std::memcpy(identity->id, &index, sizeof index);
  return true;
}


bool FileWasReplaced(HANDLE file, const std::wstring& path) {
  FILE_STANDARD_INFO standard{};
  FILE_BASIC_INFO basic{};
  WIN32_FILE_ATTRIBUTE_DATA named{};
  if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) ||
      standard.DeletePending || standard.NumberOfLinks == 0)
    return true;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &named)) return true;
  // The first look costs no open: the file at the path with the held file's size and
  // times is the held file (a file written anew has a write time of its own).
  if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    auto time = [](const FILETIME& t) { return static_cast<LONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime; };
    const LONGLONG size = static_cast<LONGLONG>(named.nFileSizeHigh) << 32 | named.nFileSizeLow;
    if (size == standard.EndOfFile.QuadPart && time(named.ftLastWriteTime) == basic.LastWriteTime.QuadPart &&
        time(named.ftCreationTime) == basic.CreationTime.QuadPart)
      return false;
  }
  FileIdentity held, now_at_path;
  Handle now(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!now || !IdentityOf(file, &held) || !IdentityOf(now.get(), &now_at_path)) return true;
  return !(held == now_at_path);
}

Handle OpenLocked(const std::wstring& path, FileLockSlot slot, bool create, DWORD timeout_ms) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD disposition = create ? OPEN_ALWAYS : OPEN_EXISTING;
  for (;;) {
    Handle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && GetLastError() == ERROR_ACCESS_DENIED)  // read-only: the lock needs only reading
      file.reset(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
    if (!file) return {};
    if (!LockFileSlot(file.get(), slot, timeout_ms)) {
      DWORD code = GetLastError();
      file.reset();
      SetLastError(code);
      return {};
    }
    if (!FileWasReplaced(file.get(), path)) return file;
    UnlockFileSlot(file.get(), slot);  // replaced while we waited: lock the one at the path
  }
}

}  // namespace winkit
