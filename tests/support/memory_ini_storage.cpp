#include "tests/support/memory_ini_storage.h"

#include <algorithm>
#include <stdexcept>

#include "common/automation_error.h"

namespace tolvex {

namespace {

namespace en = common::error_number;

size_t FolderEnd(const Text& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? 0 : slash;
}

}  // namespace

class MemoryIniStorage : public IniStorage {
 public:
  MemoryIniStorage(MemoryIniDisk& disk, Text path) : disk_(disk), path_(std::move(path)) {}

  void Lock(bool create, Scope) override {
    if (create && !disk_.files_.count(path_)) {
      CheckCanCreate();
      disk_.files_[path_];
      disk_.versions_[path_] = ++disk_.clock_;
    }
    if (!disk_.locked_.insert(path_).second) throw std::logic_error("memory INI file locked twice");
  }
  void Unlock() noexcept override { disk_.locked_.erase(path_); }

  IniStamp Stamp() override {
    IniStamp stamp;
    auto it = disk_.files_.find(path_);
    stamp.exists = it != disk_.files_.end();
    stamp.size = stamp.exists ? it->second.bytes.size() : 0;
    stamp.write_time = disk_.versions_[path_];
    return stamp;
  }

  std::string Head(size_t bytes) override {
    auto it = disk_.files_.find(path_);
    return it == disk_.files_.end() ? std::string() : it->second.bytes.substr(0, bytes);
  }

  std::optional<std::string> Load() override {
    if (disk_.folders_.count(path_))
      throw common::AutomationError(en::kPathFileAccess, u"Path/File access error: the path names a folder");
    ++disk_.counters.loads;
    return disk_.Bytes(path_);
  }

  std::string Read(uint64_t offset, size_t bytes) override {
    auto it = disk_.files_.find(path_);
    if (it == disk_.files_.end() || offset >= it->second.bytes.size()) return {};
    return it->second.bytes.substr(static_cast<size_t>(offset), bytes);
  }

  void Write(uint64_t offset, std::string_view bytes) override {
    auto it = disk_.files_.find(path_);
    if (it == disk_.files_.end()) throw std::logic_error("memory INI file written before it exists");
    if (it->second.read_only)
      throw common::AutomationError(en::kPermissionDenied, u"Permission denied: the INI file is read-only");
    uint64_t landing = disk_.Budget(bytes.size(), IsWholeWrite(offset, bytes.size()));
    std::string& file = it->second.bytes;
    if (file.size() < offset + landing) file.resize(offset + landing, '\0');
    std::copy_n(bytes.data(), landing, file.begin() + static_cast<ptrdiff_t>(offset));
    ++disk_.counters.writes;
    disk_.counters.bytes_written += landing;
    // Like a real disk's write time, which keeps one value for many writes close
    // together, an in-place write leaves the stamp as it was.
    if (landing < bytes.size()) throw SimulatedKill{};
  }

  void Replace(std::string_view bytes) override {
    CheckCanCreate();
    auto it = disk_.files_.find(path_);
    if (it != disk_.files_.end() && it->second.read_only)
      throw common::AutomationError(en::kPermissionDenied, u"Permission denied: the INI file is read-only");
    // The new content goes to a side file first; only a complete one replaces the file.
    uint64_t landing = disk_.Budget(bytes.size(), /*whole=*/true);
    disk_.counters.bytes_written += landing;
    if (landing < bytes.size()) throw SimulatedKill{};
    disk_.files_[path_].bytes.assign(bytes);
    ++disk_.counters.replaces;
    disk_.versions_[path_] = ++disk_.clock_;
  }

 private:
  void CheckCanCreate() const {
    if (disk_.folders_.count(path_))
      throw common::AutomationError(en::kPathFileAccess, u"Path/File access error: the path names a folder");
    if (!disk_.FolderExists(path_))
      throw common::AutomationError(en::kPathNotFound, u"Path not found: the INI file's folder does not exist");
  }

  MemoryIniDisk& disk_;
  Text path_;
};

std::optional<std::string> MemoryIniDisk::Bytes(const Text& path) const {
  auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  return it->second.bytes;
}

void MemoryIniDisk::Put(const Text& path, std::string bytes) {
  files_[path].bytes = std::move(bytes);
  versions_[path] = ++clock_;
}

void MemoryIniDisk::Remove(const Text& path) {
  files_.erase(path);
  versions_[path] = ++clock_;
}

void MemoryIniDisk::SetReadOnly(const Text& path, bool read_only) { files_.at(path).read_only = read_only; }

bool MemoryIniDisk::FolderExists(const Text& path) const {
  size_t end = FolderEnd(path);
  return end == 0 || folders_.count(path.substr(0, end)) != 0;
}

uint64_t MemoryIniDisk::Budget(uint64_t wanted, bool whole) {
  if (!kill_budget) return wanted;
  uint64_t landing = std::min(wanted, *kill_budget);
  if (whole && landing < wanted) landing = 0;
  *kill_budget -= landing;
  return landing;
}

std::unique_ptr<IniStorage> MemoryIniStorageProvider::Open(const Text& path) {
  if (path.empty()) throw common::AutomationError(en::kBadFileName, u"Bad file name: the path is empty");
  if (path.find_first_of(u"*?<>|") != Text::npos || path.find(u'\0') != Text::npos)
    throw common::AutomationError(en::kBadFileName, u"Bad file name: the path holds characters a file name cannot have");
  if (path.back() == u'\\' || path.back() == u'/')
    throw common::AutomationError(en::kBadFileName, u"Bad file name: the path names no file");
  return std::make_unique<MemoryIniStorage>(disk_, path);
}

}  // namespace tolvex
