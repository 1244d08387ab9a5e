#pragma once
// INI files on Win32 disks.
//
// The file is open only while its lock is held (winkit/file_lock.h: a byte-range lock on
// the file itself, which every name of the file, in every process and on every machine
// that reaches it, meets). Meanwhile nobody may delete, rename or replace it; between
// locks anyone may, and the next lock takes the file then at the path. Between locks the
// stamp is the size and last-write time the path shows. Replace() lands the new content
// in place, after writing it whole to a redo record beside the file (see Replace()).
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
