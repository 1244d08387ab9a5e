#include "winkit/file_lock.h"

namespace winkit {

namespace {

// Far beyond what any INI file grows to, and within every file system's lock range.
constexpr uint64_t kSlotBase = 1ull << 62;

OVERLAPPED SlotPlace(FileLockSlot slot) {
  const uint64_t at = kSlotBase + (slot == FileLockSlot::kReportCounter ? 1 : 0);
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(at);
  place.OffsetHigh = static_cast<DWORD>(at >> 32);
  return place;
}

DWORD SlotBytes(FileLockSlot slot) { return slot == FileLockSlot::kBoth ? 2 : 1; }

constexpr DWORD kShareButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Waiting between tries: a few yields, then a millisecond at a time.
void Pause(unsigned round) {
  if (round < 8)
    SwitchToThread();
  else
    Sleep(1);
}

}  // namespace

FileLock FileLock::Open(const std::wstring& path, FileLockSlot slot, bool create, DWORD timeout_ms) {
  // Asked without waiting and asked again: a lock held by a process of another Wine
  // server or another machine is refused at once rather than waited for, so a blocking
  // request would not wait for all holders alike. The open itself is asked again while a
  // delete or rename holds the file for a moment.
  const DWORD start = GetTickCount();
  auto waited_too_long = [&] { return GetTickCount() - start >= timeout_ms; };
  FileLock lock;
  for (unsigned round = 0;; ++round) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const DWORD looked = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
    const bool read_only = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    lock.writable_ = !read_only;
    lock.file_.reset(CreateFileW(path.c_str(), read_only ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE, kShareButDelete,
                                 nullptr, create && !read_only ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!lock.file_ && GetLastError() == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // No right to write it: the lock needs only reading.
      lock.writable_ = false;
      lock.file_.reset(CreateFileW(path.c_str(), GENERIC_READ, kShareButDelete, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (lock.file_) break;
    const DWORD code = GetLastError();
    // Worth another try: another program deletes or renames the file right now, or holds
    // it without sharing it, or (Windows) the file was deleted and waits for its last
    // handle to close, refusing even a look at its attributes until then.
    const bool passing =
        code == ERROR_SHARING_VIOLATION ||
        (code == ERROR_ACCESS_DENIED && attributes == INVALID_FILE_ATTRIBUTES && looked == ERROR_ACCESS_DENIED);
    if (!passing || waited_too_long()) {
      SetLastError(code);
      return {};
    }
    Pause(round);
  }
  for (unsigned round = 0;; ++round) {
    OVERLAPPED place = SlotPlace(slot);
    if (LockFileEx(lock.file_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, SlotBytes(slot), 0,
                   &place))
      return lock;
    const DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
      lock.file_.reset();
      SetLastError(code);
      return {};
    }
    if (waited_too_long()) {
      lock.file_.reset();
      SetLastError(ERROR_LOCK_VIOLATION);
      return {};
    }
    Pause(round);
  }
}

}  // namespace winkit
