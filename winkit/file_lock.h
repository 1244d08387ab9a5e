#pragma once
// A file's own lock, kept by the file system for the file: every name of one file meets
// the same lock (another spelling of the path, another drive letter or a UNC path for the
// same folder, another machine that reaches the file over a network share), and two files
// never share one. It ends with its holder, also when the holder's process is killed.
//
// A FileLock owns the open file and its lock for one scope. Its handle shares reading and
// writing with others but not deleting: while it is held nobody deletes, renames or
// replaces the file, so what is written through it stays in the file at the path; between
// two holds the file is not open at all, so a delete or a rename goes through at once and
// the next hold opens the file now at the path. (A file deleted while another handle holds
// it open only goes when that handle closes, and Wine shows the holder no sign of it: no
// pending deletion, the link still there. A handle kept open between holds would write
// on into a file that is about to vanish.)
//
// The lock itself is one byte of the file far beyond any content (a lock on Windows keeps
// other handles from reading and writing its bytes), in a slot of its own per purpose, so
// that a program may hold one slot while it takes another through another handle; or
// both bytes at once.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "winkit/handles.h"

namespace winkit {

enum class FileLockSlot : uint32_t {
  kContent,        // the INI engine: one change or full read of the file
  kReportCounter,  // the report file's counter, around the handler calls of one message
  kBoth,           // both at once: whoever holds either one waits, and each waits for it
};

// How long a taker waits for a file lock that another handle holds.
inline constexpr DWORD kFileLockTimeoutMs = 10000;

class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&&) noexcept = default;
  FileLock& operator=(FileLock&&) noexcept = default;

  // Opens the file at `path` (for reading only when it is read-only or may not be written)
  // and takes the slot's lock, waiting up to `timeout_ms` while another handle holds it or
  // a delete or rename of the file is under way. `create` makes an empty file when none
  // exists. Empty on failure, with the last error saying why: ERROR_FILE_NOT_FOUND (no
  // file, none wanted), ERROR_LOCK_VIOLATION (held by another for too long),
  // ERROR_SHARING_VIOLATION (another program kept the file from us for too long), or
  // whatever the open refused.
  static FileLock Open(const std::wstring& path, FileLockSlot slot, bool create, DWORD timeout_ms = kFileLockTimeoutMs);

  explicit operator bool() const { return static_cast<bool>(file_); }
  HANDLE file() const { return file_.get(); }
  bool writable() const { return writable_; }
  // Gives the lock back and closes the file; nothing when empty. Closing the handle gives
  // its locks back: the file system's clean-up of a file's last handle drops every lock
  // taken through it before CloseHandle returns (one platform round trip, not two).
  void Release() noexcept { file_.reset(); }

 private:
  Handle file_;  // closed when the lock goes
  bool writable_ = false;
};

}  // namespace winkit
