#pragma once
// Where INI files live. The engine reaches a file only through IniStorage, so the same
// engine runs on Win32 files (win32_ini_storage.h) and, in the tests, on memory.
//
// Rules every storage keeps:
//  - Lock()/Unlock() exclude every other IniStorage on the same file, in any process and
//    on any machine, whatever path names the file. All changes and every full read
//    happen between them. Between them nobody else deletes or renames the file; between
//    two locks anyone may.
//  - Stamp() is cheap and changes when the file is replaced, deleted, created or
//    resized. An in-place change need not show in it: the engine keeps a change count
//    in the file itself for that (ini_file.h).
//  - Head() reads the first bytes of the file as it is now, without the lock.
//  - Write() lands bytes in place. A small write (IsWholeWrite below) lands whole or not
//    at all when the process is killed: the system copies it in one piece. A process
//    killed during any other write leaves any prefix of it (the system may stop between
//    two pages of a long one).
//  - Replace() swaps the whole content at once: a process killed during it leaves the
//    old content or the new one to the next lock holder, never a mix, also to one that
//    may not write the file; and never to a file other than the one it was made for.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tolvex {

using common::Text;

// The largest write that a kill never tears, and the blocks it must stay within: a disk
// sector, well inside one memory page, so that no page or sector boundary splits it.
inline constexpr uint64_t kWholeWriteBytes = 512;

inline bool IsWholeWrite(uint64_t offset, uint64_t bytes) {
  return bytes <= kWholeWriteBytes && (bytes == 0 || offset / kWholeWriteBytes == (offset + bytes - 1) / kWholeWriteBytes);
}

struct IniStamp {
  bool exists = false;
  uint64_t size = 0;
  uint64_t write_time = 0;  // storage-defined clock; only compared for equality
  bool operator==(const IniStamp&) const = default;
};

class IniStorage {
 public:
  virtual ~IniStorage() = default;

  // With `create`, makes an empty file when none exists; without it, a missing file is
  // left missing and nothing is held. Raises AutomationError when the file stays locked
  // by someone else for too long or cannot be made. kWithReportCounter also excludes,
  // and waits for, whoever holds the report file's counter lock (the debugger takes that
  // one around the handler calls of a message when it cannot hold the file through the
  // handler): one lock for all of a message's exchange.
  enum class Scope { kContent, kWithReportCounter };
  virtual void Lock(bool create, Scope scope) = 0;
  virtual void Unlock() noexcept = 0;

  virtual IniStamp Stamp() = 0;
  // Up to `bytes` first bytes; empty when there is no file.
  virtual std::string Head(size_t bytes) = 0;
  // The whole content; nullopt when no file exists at the path. Raises AutomationError
  // when the path names something that is not a readable file.
  virtual std::optional<std::string> Load() = 0;
  // Up to `bytes` bytes of the locked file from byte `offset` on (fewer at its end), as
  // Load() would give them. Raises AutomationError when the read fails.
  virtual std::string Read(uint64_t offset, size_t bytes) = 0;
  // Lands bytes at a byte offset of the file as it was at the last Load() or Replace().
  virtual void Write(uint64_t offset, std::string_view bytes) = 0;
  // Makes bytes the whole content of the locked file, which stays the same file (its
  // locks, and other handles on it, stay with it).
  virtual void Replace(std::string_view bytes) = 0;
};

class IniStorageProvider {
 public:
  virtual ~IniStorageProvider() = default;
  // Binds a storage to a path without touching the file. Raises AutomationError for a
  // path that can never name a file (bad characters, a device name, no file name).
  virtual std::unique_ptr<IniStorage> Open(const Text& path) = 0;
};

}  // namespace tolvex
