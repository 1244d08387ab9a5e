#include "winkit/cross_process_lock.h"

#include <cstring>

namespace winkit {

Handle OpenNamedLock(const std::wstring& name) {
  return Handle(CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str()));
}

HeldNamedLock TakeNamedLock(HANDLE lock, DWORD timeout_ms) {
  switch (WaitForSingleObject(lock, timeout_ms)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder ended without giving it back: now ours
      return HeldNamedLock(lock);
    case WAIT_TIMEOUT:
      SetLastError(ERROR_TIMEOUT);
      return {};
    default:
      return {};
  }
}

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

namespace {

// The file's identity: what FileIdInfo (Windows 8 and later) gives. GetFileInformationByHandle
// would do everywhere, but under Wine it asks the mount manager for the volume's serial
// number, several platform round trips a call.
struct FileIdentity {
  ULONGLONG volume = 0;
  BYTE id[16] = {};
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && std::memcmp(id, other.id, sizeof id) == 0;
  }
};

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

}  // namespace

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
