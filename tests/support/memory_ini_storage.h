#pragma once
// INI files in memory, for tests: folders, read-only files, writes by "other programs",
// counters of what the engine reads and writes, and a simulated process kill that lets
// the writes land only up to a chosen byte: a whole write (IsWholeWrite in ini_storage.h)
// and a Replace() land whole or not at all, any other write up to that byte.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "tolvex/ini/ini_storage.h"

namespace tolvex {

// Thrown out of Write()/Replace() when the simulated process dies.
struct SimulatedKill {};

class MemoryIniDisk {
 public:
  struct Counters {
    uint64_t loads = 0;          // whole-file reads
    uint64_t writes = 0;         // Write() calls
    uint64_t bytes_written = 0;  // by Write() and Replace()
    uint64_t replaces = 0;
  };

  // Paths compare exactly. A path's folder is the part before its last '\' or '/'; a
  // path without one lives in the always present current folder.
  void AddFolder(const Text& folder) { folders_.insert(folder); }
  bool HasFile(const Text& path) const { return files_.count(path) != 0; }
  std::optional<std::string> Bytes(const Text& path) const;
  // A change made by a program that does not use this engine.
  void Put(const Text& path, std::string bytes);
  void Remove(const Text& path);
  void SetReadOnly(const Text& path, bool read_only);
  bool IsLocked(const Text& path) const { return locked_.count(path) != 0; }

  Counters counters;
  // When set, this many more bytes land; the next one kills the writer (SimulatedKill).
  // A Replace() or a whole write lands only when all of its bytes fit.
  std::optional<uint64_t> kill_budget;

 private:
  friend class MemoryIniStorage;
  struct File {
    std::string bytes;
    bool read_only = false;
  };
  bool FolderExists(const Text& path) const;
  uint64_t Budget(uint64_t wanted, bool whole);

  std::map<Text, File> files_;
  std::set<Text> folders_;
  std::map<Text, uint64_t> versions_;  // bumped when a file is made, replaced or removed
  std::set<Text> locked_;
  uint64_t clock_ = 0;
};

class MemoryIniStorageProvider : public IniStorageProvider {
 public:
  explicit MemoryIniStorageProvider(MemoryIniDisk& disk) : disk_(disk) {}
  std::unique_ptr<IniStorage> Open(const Text& path) override;

 private:
  MemoryIniDisk& disk_;
};

}  // namespace tolvex
