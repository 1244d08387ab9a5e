#include "winkit/file_lock.h"

namespace winkit {

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

bool FileWasReplaced(HANDLE file) {
  FILE_STANDARD_INFO info{};
  if (!GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info)) return true;
  return info.NumberOfLinks == 0 || info.DeletePending;
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
    if (!FileWasReplaced(file.get())) return file;
    UnlockFileSlot(file.get(), slot);  // replaced while we waited: lock the one at the path
  }
}

}  // namespace winkit
