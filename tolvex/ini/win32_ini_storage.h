#pragma once
// INI files on Win32 disks.
//
// Each storage keeps its file's handle (shared for read, write and delete) across calls.
// The lock is a byte-range lock on the file itself (winkit/cross_process_lock.h), so every name of
// the file, in every process and on every machine that reaches it, meets the same lock.
// The stamp is the held file's size and last-write time; a file replaced or deleted by
// someone else reads as changed. Replace() lands the new content in place, after writing
// it whole to a redo record beside the file (see Replace()).
#include "tolvex/ini/ini_storage.h"

namespace tolvex {

class Win32IniStorageProvider : public IniStorageProvider {
 public:
  // Relative paths resolve against the current directory at the time of the call.
  std::unique_ptr<IniStorage> Open(const Text& path) override;

  // The one provider a process needs (it holds no state).
  static Win32IniStorageProvider& Instance();
};

}  // namespace tolvex
