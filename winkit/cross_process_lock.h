#pragma once
// Locks that processes take to keep one another out: every process of the machine's
// session, 32-bit and 64-bit alike, meets the same lock. A lock ends with its holder,
// also when the holder's process is killed, and passes to the next taker.
//
// Two kinds:
// - A named lock of the session, called <name>. The thread that holds it may take it
//   again (each take is given back once); a lock whose holder's process ended without
//   giving it back is had by the next taker. Taking a lock nobody else wants costs no
//   platform call: its state is a word in a small page shared by every process of the
//   session (see cross_process_lock.cpp).
// - A file's own locks, kept by the file system for the file: every name of one file
//   meets the same lock (another spelling of the path, another drive letter or a UNC path
//   for the same folder, another machine that reaches the file over a network share).
//   Two files never share one. A lock is one byte of the file far beyond any content (a
//   lock on Windows keeps other handles from reading and writing its bytes), in a slot of
//   its own per purpose, so that one program may hold one slot while it takes another.
//   A file replaced by a rename keeps its locks but no longer has the name: a taker that
//   waited on it finds that out after it got the lock, and locks the file now at the path.
#include <windows.h>

#include <cstdint>
#include <string>

#include "winkit/handles.h"

namespace winkit {

// The named lock `name` of this process, opened at its first use and kept while the
// module is loaded. Null when the platform refuses; the last error says why.
class NamedLock;
NamedLock* OpenNamedLock(const std::wstring& name);
void GiveBackNamedLock(NamedLock* lock);

struct HeldNamedLockTraits {
  static NamedLock* none() { return nullptr; }
  static bool valid(NamedLock* lock) { return lock != nullptr; }
  static void free(NamedLock* lock) { GiveBackNamedLock(lock); }
};
// A named lock this thread holds, given back when it goes out of scope (on the thread
// that took it).
using HeldNamedLock = Unique<NamedLock*, HeldNamedLockTraits>;

// Waits for the named lock. Empty when another process kept it for `timeout_ms` (the
// last error is then ERROR_TIMEOUT) or the wait failed (the last error says why). Threads
// of this process queue for it without a time limit.
HeldNamedLock TakeNamedLock(NamedLock* lock, DWORD timeout_ms = INFINITE);

enum class FileLockSlot : uint32_t {
  kContent = 0,        // the INI engine: one change or full read of the file
  kReportCounter = 1,  // the report file's counter: read, entry written, counter written
};

// How long a taker waits for a file lock that another handle holds.
inline constexpr DWORD kFileLockTimeoutMs = 10000;

// Takes the slot's lock through `file`, waiting while another handle holds it. False when
// it stayed taken for `timeout_ms` (the last error is then ERROR_LOCK_VIOLATION) or the
// platform refused (the last error says why).
bool LockFileSlot(HANDLE file, FileLockSlot slot, DWORD timeout_ms = kFileLockTimeoutMs);
void UnlockFileSlot(HANDLE file, FileLockSlot slot);

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

// The identity of the handle's file; false when the platform cannot tell it.
bool IdentityOf(HANDLE file, FileIdentity* identity);

// Whether the handle's file is no longer the file at `path`: replaced by a rename or
// deleted. A file at the path with the held file's size, write and creation times is
// taken for it without opening it; otherwise the file now at the path is asked for its
// identity (a file moved aside and deleted while others hold it open keeps its link and,
// under Wine, shows no pending deletion). A handle whose file cannot be asked counts as
// replaced.
bool FileWasReplaced(HANDLE file, const std::wstring& path);

// Opens the file at `path` for reading and writing, shared with every other user of it
// (reading only when it is read-only), and takes the slot's lock on the file that holds
// the name once the lock is had. `create` makes an empty file when none exists; without
// it a missing file gives an empty handle and ERROR_FILE_NOT_FOUND. An empty handle
// otherwise means failure; the last error says why.
Handle OpenLocked(const std::wstring& path, FileLockSlot slot, bool create, DWORD timeout_ms = kFileLockTimeoutMs);

// A slot's lock held through a handle that stays open after it: given back when it goes
// out of scope. The handle must outlive it.
class HeldFileSlot {
 public:
  HeldFileSlot() = default;
  HeldFileSlot(HANDLE file, FileLockSlot slot) : file_(file), slot_(slot) {}
  HeldFileSlot(HeldFileSlot&& other) noexcept
      : file_(std::exchange(other.file_, nullptr)), slot_(other.slot_) {}
  HeldFileSlot& operator=(HeldFileSlot&& other) noexcept {
    if (this != &other) {
      GiveBack();
      file_ = std::exchange(other.file_, nullptr);
      slot_ = other.slot_;
    }
    return *this;
  }
  ~HeldFileSlot() { GiveBack(); }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  void GiveBack() {
    if (file_) UnlockFileSlot(std::exchange(file_, nullptr), slot_);
  }
  HANDLE file_ = nullptr;
  FileLockSlot slot_ = FileLockSlot::kContent;
};

}  // namespace winkit
