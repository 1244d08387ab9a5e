#include "tolvex/ini/win32_ini_storage.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "common/automation_error.h"
#include "winkit/cross_process_lock.h"

namespace tolvex {

namespace {

namespace en = common::error_number;
using common::AutomationError;

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }
Text FromWide(const std::wstring& text) { return Text(text.begin(), text.end()); }

AutomationError Error(int32_t number, const std::wstring& description) {
  return AutomationError(number, FromWide(description));
}

// The automation error for a failed file operation.
AutomationError FileError(DWORD code, const wchar_t* doing) {
  std::wstring what = std::wstring(L" (") + doing + L", system error " + std::to_wstring(code) + L")";
  switch (code) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
      return Error(en::kPathNotFound, L"Path not found: the INI file's folder does not exist" + what);
    case ERROR_FILE_NOT_FOUND:
      return Error(en::kFileNotFound, L"File not found" + what);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return Error(en::kPermissionDenied, L"Permission denied: the INI file or its folder cannot be written" + what);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return Error(en::kBadFileName, L"Bad file name: the INI file path is not a valid file name" + what);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Error(61, L"Disk full" + what);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Error(en::kPathFileAccess, L"Path/File access error: another program holds the INI file" + what);
    default:
      return Error(en::kPathFileAccess, L"Path/File access error" + what);
  }
}

AutomationError BadName(const wchar_t* why) {
  return Error(en::kBadFileName, std::wstring(L"Bad file name: ") + why);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Rejects what can never name a file; returns the full path.
std::wstring CheckedFullPath(const std::wstring& path) {
  if (path.empty()) throw BadName(L"the INI file path is empty");
  size_t body = 0;
  if (path.compare(0, 4, L"\\\\.\\") == 0 || path.compare(0, 4, L"//./") == 0)
    throw BadName(L"a device path does not name an INI file");
  if (path.compare(0, 4, L"\\\\?\\") == 0) body = 4;
  for (size_t i = body; i < path.size(); ++i) {
    wchar_t c = path[i];
    if (c < 0x20) throw BadName(L"the INI file path holds a control character");
    if (std::wcschr(L"<>\"|?*", c)) throw BadName(L"the INI file path holds one of < > \" | ? *");
    if (c == L':' && !(i == body + 1 && iswalpha(path[body]))) throw BadName(L"':' may only follow a drive letter");
  }
  if (IsSeparator(path.back())) throw BadName(L"the INI file path ends in a folder separator");
  size_t slash = path.find_last_of(L"\\/");
  std::wstring name = path.substr(slash == std::wstring::npos ? body : slash + 1);
  if (name.size() >= 2 && name[1] == L':') name = name.substr(2);
  if (name.empty() || name == L"." || name == L"..") throw BadName(L"the INI file path names no file");
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  CharUpperBuffW(stem.data(), static_cast<DWORD>(stem.size()));
  static const wchar_t* const kDevices[] = {L"CON",  L"PRN",  L"AUX",  L"NUL",  L"CONIN$", L"CONOUT$",
                                            L"COM1", L"COM2", L"COM3", L"COM4", L"COM5",   L"COM6",
                                            L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2",   L"LPT3",
                                            L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8",   L"LPT9"};
  for (const wchar_t* device : kDevices)
    if (stem == device) throw BadName(L"the INI file path names a device");

  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) throw FileError(GetLastError(), L"resolving the path");
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) throw FileError(GetLastError(), L"resolving the path");
  full.resize(size);
  return full;
}

constexpr auto kSlot = winkit::FileLockSlot::kContent;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Win32IniStorage : public IniStorage {
 public:
  explicit Win32IniStorage(std::wstring full_path) : path_(std::move(full_path)) {}
  ~Win32IniStorage() override { Unlock(); }

  void Lock(bool create) override {
    for (;;) {
      if (!file_ && !Open(create)) return;  // no file, none wanted: nothing to exclude
      if (!winkit::LockFileSlot(file_.get(), kSlot)) {
        DWORD code = GetLastError();
        if (code == ERROR_LOCK_VIOLATION)
          throw Error(en::kPathFileAccess, L"Path/File access error: another program keeps the INI file locked");
        throw FileError(code, L"locking the INI file");
      }
      if (!winkit::FileWasReplaced(file_.get(), path_)) break;
      winkit::UnlockFileSlot(file_.get(), kSlot);  // replaced while we waited: on to the new one
      file_.reset();
    }
    held_ = true;
    try {
      LandLeftRedo();
    } catch (...) {
      Unlock();
      throw;
    }
  }

  void Unlock() noexcept override {
    if (held_ && file_) winkit::UnlockFileSlot(file_.get(), kSlot);
    held_ = false;
  }

  IniStamp Stamp() override {
    IniStamp stamp;
    if (file_ && !held_ && winkit::FileWasReplaced(file_.get(), path_)) file_.reset();  // held: checked when locked
    if (!file_ && !Open(false)) return stamp;
    FILE_STANDARD_INFO standard{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(file_.get(), FileStandardInfo, &standard, sizeof standard) ||
        !GetFileInformationByHandleEx(file_.get(), FileBasicInfo, &basic, sizeof basic))
      return stamp;  // cannot be asked: reads as changed, and the next full read says why
    stamp.exists = true;
    stamp.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    stamp.write_time = static_cast<uint64_t>(basic.LastWriteTime.QuadPart);
    return stamp;
  }

  std::string Head(size_t bytes) override {
    if (!file_) return {};
    std::string head(bytes, '\0');
    DWORD got = 0;
    if (!Seek(0) || !ReadFile(file_.get(), head.data(), static_cast<DWORD>(bytes), &got, nullptr)) got = 0;
    head.resize(got);
    return head;
  }

  std::optional<std::string> Load() override {
    DropDeadSideFile();
    DeleteFileW((RedoName() + L"-part").c_str());  // an unfinished record (see LandLeftRedo())
    if (!file_) return std::nullopt;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_.get(), &size)) throw FileError(GetLastError(), L"reading the INI file");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    if (!Seek(0)) throw FileError(GetLastError(), L"reading the INI file");
    while (done < bytes.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24)), got = 0;
      if (!ReadFile(file_.get(), bytes.data() + done, chunk, &got, nullptr)) {
        DWORD code = GetLastError();
        if (code == ERROR_HANDLE_EOF) break;
        throw FileError(code, L"reading the INI file");
      }
      if (got == 0) break;  // shorter than it was a moment ago
      done += got;
    }
    bytes.resize(done);
    return bytes;
  }

  void Write(uint64_t offset, std::string_view bytes) override {
    if (!file_ || !writable_) throw Error(en::kPermissionDenied, L"Permission denied: the INI file is read-only");
    DWORD written = 0;
    if (!Seek(offset) || !WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      throw FileError(GetLastError(), L"writing the INI file");
    if (written != bytes.size()) throw FileError(ERROR_DISK_FULL, L"writing the INI file");
  }

  // The new content goes over the old in place: the file keeps its identity, and with it
  // every lock on it (the report counter's lock, held through another handle, spans this
  // change). It is first written whole beside the file as a redo record; a process killed
  // while the content lands leaves the record, and the next lock holder lands it again
  // before anything reads the file.
  void Replace(std::string_view bytes) override {
    DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      throw Error(en::kPathFileAccess, L"Path/File access error: the INI file path names a folder");
    if (!file_ || !writable_ || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)))
      throw Error(en::kPermissionDenied, L"Permission denied: the INI file is read-only");
    const std::wstring redo = RedoName(), part = redo + L"-part";
    {
      winkit::Handle record(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!record) throw FileError(GetLastError(), L"creating the INI file");
      DWORD written = 0;
      if (!WriteFile(record.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
          written != bytes.size()) {
        DWORD code = written != bytes.size() && GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError();
        record.reset();
        DeleteFileW(part.c_str());
        throw FileError(code, L"writing the INI file");
      }
    }
    if (!MoveFileExW(part.c_str(), redo.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      DWORD code = GetLastError();
      DeleteFileW(part.c_str());
      throw FileError(code, L"writing the INI file");
    }
    Land(bytes);
    DeleteFileW(redo.c_str());
  }

 private:
  // Reads and writes go through the file pointer: under Wine an offset given with the
  // call costs a platform round trip.
  bool Seek(uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN);
  }

  // Makes `bytes` the whole content of the held file.
  void Land(std::string_view bytes) {
    Write(0, bytes);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(bytes.size());
    if (!SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &end, sizeof end))
      throw FileError(GetLastError(), L"writing the INI file");
  }

  // Lands what a replacement killed half-way left in its redo record (called under the
  // lock, so no live replacement is writing one). A record that was never finished
  // (`-part`) is left to the next full read: the file still holds the content from
  // before that replacement.
  void LandLeftRedo() {
    const std::wstring redo = RedoName();
    if (GetFileAttributesW(redo.c_str()) == INVALID_FILE_ATTRIBUTES) return;  // the usual case: one look
    winkit::Handle record(CreateFileW(redo.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!record) return;
    if (!writable_) return;  // left for someone who may write the file
    LARGE_INTEGER size;
    if (!GetFileSizeEx(record.get(), &size)) throw FileError(GetLastError(), L"reading the INI file");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(record.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())
      throw FileError(GetLastError(), L"reading the INI file");
    record.reset();
    Land(bytes);
    DeleteFileW(redo.c_str());
  }

  std::wstring RedoName() const { return path_ + L".tolvex-redo"; }

  // Opens the file at the path (creating an empty one when `create`); false when there
  // is none and none was wanted.
  bool Open(bool create) {
    for (;;) {
      DWORD attributes = GetFileAttributesW(path_.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error(en::kPathFileAccess, L"Path/File access error: the INI file path names a folder");
      // A read-only file is opened for reading only, whoever we run as.
      const bool read_only = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
      file_.reset(CreateFileW(path_.c_str(), read_only ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE, kShareAll,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      writable_ = file_ && !read_only;
      if (!file_ && GetLastError() == ERROR_ACCESS_DENIED) {  // no right to write it
        file_.reset(CreateFileW(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        writable_ = false;
      }
      if (file_) return true;
      DWORD code = GetLastError();
      if (code != ERROR_FILE_NOT_FOUND) {
        if (code == ERROR_PATH_NOT_FOUND && !create) return false;  // nothing to read there
        throw FileError(code, create ? L"creating the INI file" : L"opening the INI file");
      }
      // Builds before the in-place replacement renamed a side file over the INI file; one
      // killed between its two renames left the new content beside the name: it is whole,
      // and it is the file.
      if (MoveFileExW(SideName().c_str(), path_.c_str(), 0)) continue;
      if (!create) return false;
      file_.reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      writable_ = static_cast<bool>(file_);
      if (file_) return true;
      throw FileError(GetLastError(), L"creating the INI file");
    }
  }

  // The side file of those earlier builds (see Open()).
  std::wstring SideName() const { return path_ + L".tolvex-new"; }

  // Clears what a replacement of those earlier builds, killed while writing its side
  // file, left behind: the side file and the old files moved aside.
  void DropDeadSideFile() const {
    const std::wstring side = SideName();
    if (GetFileAttributesW(side.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    DeleteFileW(side.c_str());
    WIN32_FIND_DATAW found;
    std::wstring folder = path_.substr(0, path_.find_last_of(L"\\/") + 1);
    HANDLE find = FindFirstFileW((path_ + L".*.tolvex-old").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do DeleteFileW((folder + found.cFileName).c_str());
    while (FindNextFileW(find, &found));
    FindClose(find);
  }

  std::wstring path_;
  winkit::Handle file_;   // the file at the path as of the last look; empty when there is none
  bool writable_ = false;
  bool held_ = false;     // the lock is held through file_
};

}  // namespace

std::unique_ptr<IniStorage> Win32IniStorageProvider::Open(const Text& path) {
  if (path.find(u'\0') != Text::npos) throw BadName(L"the INI file path holds a NUL character");
  return std::make_unique<Win32IniStorage>(CheckedFullPath(Wide(path)));
}

Win32IniStorageProvider& Win32IniStorageProvider::Instance() {
  static Win32IniStorageProvider provider;
  return provider;
}

}  // namespace tolvex
