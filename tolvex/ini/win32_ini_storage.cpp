#include "tolvex/ini/win32_ini_storage.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "common/automation_error.h"
#include "winkit/file_lock.h"
#include "winkit/wide_text.h"

namespace tolvex {

namespace {

namespace en = common::error_number;
using common::AutomationError;

AutomationError Error(int32_t number, const std::wstring& description) {
  return AutomationError(number, winkit::TextCopy(description));
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

// The bytes of a redo record's first line (UTF-16LE), without its line break: for the
// engine's records its change count, which the file already bears when the landing starts.
size_t FirstLineBytes(std::string_view record) {
  size_t i = 0;
  while (i + 1 < record.size() && i < kWholeWriteBytes &&
         !((record[i] == '\r' || record[i] == '\n') && record[i + 1] == '\0'))
    i += 2;
  return i;
}

class Win32IniStorage : public IniStorage {
 public:
  explicit Win32IniStorage(std::wstring full_path) : path_(std::move(full_path)) {}
  ~Win32IniStorage() override { Unlock(); }

  void Lock(bool create, Scope scope) override {
    lock_ = winkit::FileLock::Open(path_, scope == Scope::kContent ? kSlot : winkit::FileLockSlot::kBoth, create);
    if (!lock_) {
      const DWORD code = GetLastError();
      if (NamesFolder()) throw Error(en::kPathFileAccess, L"Path/File access error: the INI file path names a folder");
      if (!create && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)) return;  // nothing to exclude
      if (code == ERROR_LOCK_VIOLATION || code == ERROR_SHARING_VIOLATION)
        throw Error(en::kPathFileAccess, L"Path/File access error: another program keeps the INI file locked");
      throw FileError(code, create ? L"creating the INI file" : L"opening the INI file");
    }
    try {
      TakeLeftRedo();
    } catch (...) {
      Unlock();
      throw;
    }
  }

  void Unlock() noexcept override {
    lock_.Release();
    standing_in_.reset();
  }

  IniStamp Stamp() override {
    IniStamp stamp;
    if (lock_) {
      FILE_STANDARD_INFO standard{};
      FILE_BASIC_INFO basic{};
      if (!GetFileInformationByHandleEx(lock_.file(), FileStandardInfo, &standard, sizeof standard) ||
          !GetFileInformationByHandleEx(lock_.file(), FileBasicInfo, &basic, sizeof basic))
        return stamp;  // cannot be asked: reads as changed, and the next full read says why
      stamp.exists = true;
      stamp.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
      stamp.write_time = static_cast<uint64_t>(basic.LastWriteTime.QuadPart);
      return stamp;
    }
    // Between locks the file is not open: it is looked at by its name.
    WIN32_FILE_ATTRIBUTE_DATA named{};
    if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &named) ||
        (named.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return stamp;
    stamp.exists = true;
    stamp.size = static_cast<uint64_t>(named.nFileSizeHigh) << 32 | named.nFileSizeLow;
    stamp.write_time =
        static_cast<uint64_t>(named.ftLastWriteTime.dwHighDateTime) << 32 | named.ftLastWriteTime.dwLowDateTime;
    return stamp;
  }

  std::string Head(size_t bytes) override {
    if (standing_in_) return standing_in_->substr(0, bytes);
    winkit::Handle own;
    HANDLE file = lock_.file();
    if (!file) {
      own.reset(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!own) return {};
      file = own.get();
    }
    std::string head(bytes, '\0');
    DWORD got = 0;
    if (!Seek(file, 0) || !ReadFile(file, head.data(), static_cast<DWORD>(bytes), &got, nullptr)) got = 0;
    head.resize(got);
    return head;
  }

  std::optional<std::string> Load() override {
    DeleteFileW((RedoName() + L"-part").c_str());  // an unfinished record (see TakeLeftRedo())
    if (standing_in_) return standing_in_;
    if (!lock_) return std::nullopt;
    return ReadAll(lock_.file(), L"reading the INI file");
  }

  std::string Read(uint64_t offset, size_t bytes) override {
    if (standing_in_)
      return offset < standing_in_->size() ? standing_in_->substr(static_cast<size_t>(offset), bytes) : "";
    if (!lock_) return {};
    std::string read(bytes, '\0');
    DWORD got = 0;
    if (!Seek(lock_.file(), offset) || !ReadFile(lock_.file(), read.data(), static_cast<DWORD>(bytes), &got, nullptr))
      throw FileError(GetLastError(), L"reading the INI file");
    read.resize(got);
    return read;
  }

  void Write(uint64_t offset, std::string_view bytes) override {
    if (!lock_ || !lock_.writable())
      throw Error(en::kPermissionDenied, L"Permission denied: the INI file is read-only");
    DWORD written = 0;
    if (!Seek(lock_.file(), offset) ||
        !WriteFile(lock_.file(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      throw FileError(GetLastError(), L"writing the INI file");
    if (written != bytes.size()) throw FileError(ERROR_DISK_FULL, L"writing the INI file");
  }

  // The new content goes over the old in place: the file keeps its identity, and with it
  // every lock on it (the report counter's lock, held through another handle, spans this
  // change). It is first written whole beside the file as a redo record; a process killed
  // while the content lands leaves the record, and the next lock holder lands it again
  // before anything reads the file.
  void Replace(std::string_view bytes) override {
    if (!lock_ || !lock_.writable())
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
  static bool Seek(HANDLE file, uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
  }

  static std::string ReadAll(HANDLE file, const wchar_t* doing) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) throw FileError(GetLastError(), doing);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    if (!Seek(file, 0)) throw FileError(GetLastError(), doing);
    while (done < bytes.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24)), got = 0;
      if (!ReadFile(file, bytes.data() + done, chunk, &got, nullptr)) {
        DWORD code = GetLastError();
        if (code == ERROR_HANDLE_EOF) break;
        throw FileError(code, doing);
      }
      if (got == 0) break;  // shorter than it was a moment ago
      done += got;
    }
    bytes.resize(done);
    return bytes;
  }

  bool NamesFolder() const {
    DWORD attributes = GetFileAttributesW(path_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  // Makes `bytes` the whole content of the held file.
  void Land(std::string_view bytes) {
    Write(0, bytes);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(bytes.size());
    if (!SetFileInformationByHandle(lock_.file(), FileEndOfFileInfo, &end, sizeof end))
      throw FileError(GetLastError(), L"writing the INI file");
  }

  // What a replacement killed half-way left in its redo record (called under the lock, so
  // no live replacement is writing one). The engine gives the file the change count its
  // record begins with before the record is written, and a landing writes its first bytes
  // first: a file that begins with the record's first line may be torn, and the record is
  // its content. It lands again, or, for a holder that may not write the file, stands in
  // for it. A file that does not begin so is not the one the record was made for (a file
  // deleted and made anew, another program's file): the record goes, and the file stays
  // as it is. A record that was never finished (`-part`) goes at the next full read: the
  // file still holds the content from before that replacement.
  void TakeLeftRedo() {
    const std::wstring redo = RedoName();
    if (GetFileAttributesW(redo.c_str()) == INVALID_FILE_ATTRIBUTES) return;  // the usual case: one look
    std::string record;
    {
      winkit::Handle file(CreateFileW(redo.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return;
      record = ReadAll(file.get(), L"reading the INI file");
    }
    const size_t line = FirstLineBytes(record);
    if (line == 0 || Head(line) != std::string_view(record).substr(0, line)) {
      DeleteFileW(redo.c_str());
      return;
    }
    if (!lock_.writable()) {
      standing_in_ = std::move(record);
      return;
    }
    Land(record);
    DeleteFileW(redo.c_str());
  }

  std::wstring RedoName() const { return path_ + L".tolvex-redo"; }

  std::wstring path_;
  winkit::FileLock lock_;                   // the file and its lock while held
  std::optional<std::string> standing_in_;  // a left redo record read in place of the torn file
};

}  // namespace

std::unique_ptr<IniStorage> Win32IniStorageProvider::Open(const Text& path) {
  if (path.find(u'\0') != Text::npos) throw BadName(L"the INI file path holds a NUL character");
  return std::make_unique<Win32IniStorage>(CheckedFullPath(winkit::WideCopy(path)));
}

Win32IniStorageProvider& Win32IniStorageProvider::Instance() {
  static Win32IniStorageProvider provider;
  return provider;
}

}  // namespace tolvex
