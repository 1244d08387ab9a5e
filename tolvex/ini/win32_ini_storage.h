#pragma once
// INI files on Win32 disks.
//
// Each open file keeps its handle (shared for read, write and delete) across calls. Per
// file, a small named shared-memory block (name derived from a hash of the upper-cased
// full path) holds the lock word and a generation counter:
//  - the lock: the owner's id, taken with an atomic compare-exchange. Each storage owns a
//    named event that lives as long as it does; a waiter that finds the owner's event gone
//    knows the owner died and takes the lock over (and bumps the generation);
//  - the stamp: the generation plus size and last-write time read from the path, so that
//    changes by other instances, by other programs and replacements by rename all show.
// Replace() writes a side file in the same folder and renames it over the file.
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
