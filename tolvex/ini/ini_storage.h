#pragma once
// Where INI files live. The engine reaches a file only through IniStorage, so the same
// engine runs on Win32 files (win32_ini_storage.h) and on memory (memory_ini_storage.h).
//
// Rules every storage keeps:
//  - Lock()/Unlock() exclude every other IniStorage on the same file, in any process.
//    All changes and every full read happen between them.
//  - Stamp() is cheap and changes whenever the file may have changed: any write,
//    a replacement, a deletion, a change made by a program that does not use this engine.
//  - Write() lands bytes in place; a process killed during it leaves any prefix of them.
//  - Replace() swaps the whole content at once: a process killed during it leaves the
//    old content or the new one, never a mix.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tolvex {

using common::Text;

struct IniStamp {
  bool exists = false;
  uint64_t size = 0;
  uint64_t write_time = 0;   // storage-defined clock; only compared for equality
  uint64_t generation = 0;   // bumped by Publish() of any instance on the same file
  bool operator==(const IniStamp&) const = default;
};

class IniStorage {
 public:
  virtual ~IniStorage() = default;

  // Raises AutomationError when the file stays locked by someone else for too long.
  virtual void Lock() = 0;
  virtual void Unlock() noexcept = 0;

  virtual IniStamp Stamp() = 0;
  // The whole content; nullopt when no file exists at the path. Raises AutomationError
  // when the path names something that is not a readable file.
  virtual std::optional<std::string> Load() = 0;
  // Lands bytes at a byte offset of the file as it was at the last Load() or Replace().
  virtual void Write(uint64_t offset, std::string_view bytes) = 0;
  // Makes bytes the whole content, creating the file when missing.
  virtual void Replace(std::string_view bytes) = 0;
  // Ends one change: instances that cached the file see a new stamp.
  virtual void Publish() = 0;
};

class IniStorageProvider {
 public:
  virtual ~IniStorageProvider() = default;
  // Binds a storage to a path without touching the file. Raises AutomationError for a
  // path that can never name a file (bad characters, a device name, no file name).
  virtual std::unique_ptr<IniStorage> Open(const Text& path) = 0;
};

// Holds a storage's lock for one scope.
class IniStorageLock {
 public:
  explicit IniStorageLock(IniStorage& storage) : storage_(storage) { storage_.Lock(); }
  ~IniStorageLock() { storage_.Unlock(); }
  IniStorageLock(const IniStorageLock&) = delete;
  IniStorageLock& operator=(const IniStorageLock&) = delete;

 private:
  IniStorage& storage_;
};

}  // namespace tolvex
