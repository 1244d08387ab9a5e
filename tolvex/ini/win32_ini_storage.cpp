#include "tolvex/ini/win32_ini_storage.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "common/automation_error.h"

namespace tolvex {

namespace {

namespace en = common::error_number;
using common::AutomationError;

// How long a caller waits for a lock that another live instance holds.
constexpr DWORD kLockTimeoutMs = 10000;
// How long a replacement keeps retrying while another program holds the file.
constexpr DWORD kReplaceRetryMs = 1000;

struct SharedBlock {
  volatile LONG owner;       // id of the storage holding the lock; 0 when free
  volatile LONG next_id;
  volatile LONG generation;
};

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }
Text FromWide(const std::wstring& text) { return Text(text.begin(), text.end()); }

std::wstring Hex(uint64_t value, int digits) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring out(static_cast<size_t>(digits), L'0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) out[static_cast<size_t>(i)] = kDigits[value & 0xF];
  return out;
}

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

uint64_t Fnv1a(const std::wstring& text) {
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : text) {
    hash = (hash ^ (static_cast<uint16_t>(c) & 0xFF)) * 1099511628211ull;
    hash = (hash ^ (static_cast<uint16_t>(c) >> 8)) * 1099511628211ull;
  }
  return hash;
}

class Win32IniStorage : public IniStorage {
 public:
  explicit Win32IniStorage(std::wstring full_path) : path_(std::move(full_path)) {
    std::wstring upper = path_;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    base_name_ = L"Local\\TolvexIni-" + Hex(Fnv1a(upper), 16);
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedBlock),
                                  base_name_.c_str());
    if (!mapping_) throw FileError(GetLastError(), L"sharing the file between programs");
    shared_ = static_cast<SharedBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedBlock)));
    if (!shared_) {
      DWORD code = GetLastError();
      CloseHandle(mapping_);
      throw FileError(code, L"sharing the file between programs");
    }
    do id_ = InterlockedIncrement(&shared_->next_id);
    while (id_ == 0);
    alive_ = CreateEventW(nullptr, TRUE, FALSE, AliveName(id_).c_str());
    if (!alive_) {
      DWORD code = GetLastError();
      UnmapViewOfFile(shared_);
      CloseHandle(mapping_);
      throw FileError(code, L"sharing the file between programs");
    }
  }

  ~Win32IniStorage() override {
    CloseFile();
    UnmapViewOfFile(shared_);
    CloseHandle(mapping_);
    CloseHandle(alive_);
  }

  void Lock() override {
    const DWORD start = GetTickCount();
    for (unsigned round = 0;; ++round) {
      LONG owner = InterlockedCompareExchange(&shared_->owner, id_, 0);
      if (owner == 0) return;
      if (round >= 64 && !OwnerAlive(owner) && InterlockedCompareExchange(&shared_->owner, id_, owner) == owner) {
        // Its owner died, maybe half-way through a change: everyone reads the file again.
        InterlockedIncrement(&shared_->generation);
        return;
      }
      if (GetTickCount() - start > kLockTimeoutMs)
        throw Error(en::kPathFileAccess, L"Path/File access error: another program keeps the INI file locked");
      if (round < 16)
        YieldProcessor();
      else if (round < 64)
        SwitchToThread();
      else
        Sleep(1);
    }
  }

  void Unlock() noexcept override { InterlockedCompareExchange(&shared_->owner, 0, id_); }

  IniStamp Stamp() override {
    IniStamp stamp;
    stamp.generation = static_cast<uint32_t>(shared_->generation);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) {
      stamp.exists = true;
      stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      stamp.write_time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) stamp.write_time = ~0ull;
    }
    return stamp;
  }

  std::optional<std::string> Load() override {
    CloseFile();  // the path may name another file by now (a rename): always open afresh
    Recover();
    DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      throw Error(en::kPathFileAccess, L"Path/File access error: the INI file path names a folder");
    // A read-only file is opened for reading only, whoever we run as.
    writable_ = attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
    file_ = OpenShared(writable_ ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ);
    if (file_ == INVALID_HANDLE_VALUE) {
      DWORD code = GetLastError();
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
      if (code == ERROR_ACCESS_DENIED) {
        writable_ = false;
        file_ = OpenShared(GENERIC_READ);
        code = GetLastError();
      }
      if (file_ == INVALID_HANDLE_VALUE) throw FileError(code, L"opening the INI file");
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_, &size)) throw FileError(GetLastError(), L"reading the INI file");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24)), got = 0;
      if (!ReadFile(file_, bytes.data() + done, chunk, &got, nullptr)) throw FileError(GetLastError(), L"reading the INI file");
      if (got == 0) break;  // shorter than it was a moment ago
      done += got;
    }
    bytes.resize(done);
    return bytes;
  }

  void Write(uint64_t offset, std::string_view bytes) override {
    if (file_ == INVALID_HANDLE_VALUE || !writable_)
      throw Error(en::kPermissionDenied, L"Permission denied: the INI file is read-only");
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      throw FileError(GetLastError(), L"writing the INI file");
    if (written != bytes.size()) throw FileError(ERROR_DISK_FULL, L"writing the INI file");
  }

  void Replace(std::string_view bytes) override {
    DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw Error(en::kPathFileAccess, L"Path/File access error: the INI file path names a folder");
      if (attributes & FILE_ATTRIBUTE_READONLY)
        throw Error(en::kPermissionDenied, L"Permission denied: the INI file is read-only");
    }
    const std::wstring side = SideName();
    HANDLE temp = CreateFileW(side.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (temp == INVALID_HANDLE_VALUE) throw FileError(GetLastError(), L"creating the INI file");
    DWORD written = 0;
    if (!WriteFile(temp, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      DWORD code = written != bytes.size() && GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError();
      CloseHandle(temp);
      DeleteFileW(side.c_str());
      throw FileError(code, L"writing the INI file");
    }
    CloseFile();
    bool swapped = RenameOver(temp);
    CloseHandle(temp);
    DWORD code = ERROR_SUCCESS;
    for (DWORD start = GetTickCount(); !swapped;) {
      if (MoveFileExW(side.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        swapped = true;
        break;
      }
      code = GetLastError();
      if (code == ERROR_ACCESS_DENIED && SwapAside(side)) {
        swapped = true;
        break;
      }
      bool busy = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
      if (!busy || GetTickCount() - start > kReplaceRetryMs) break;
      Sleep(5);
    }
    if (!swapped) DeleteFileW(side.c_str());
    file_ = OpenShared(GENERIC_READ | GENERIC_WRITE);
    writable_ = file_ != INVALID_HANDLE_VALUE;
    if (!swapped) throw FileError(code, L"replacing the INI file");
    if (file_ == INVALID_HANDLE_VALUE) throw FileError(GetLastError(), L"opening the INI file");
  }

  void Publish() override { InterlockedIncrement(&shared_->generation); }

 private:
  std::wstring AliveName(LONG id) const { return base_name_ + L"-" + Hex(static_cast<uint32_t>(id), 8); }

  bool OwnerAlive(LONG id) const {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, AliveName(id).c_str());
    if (event) {
      CloseHandle(event);
      return true;
    }
    return GetLastError() != ERROR_FILE_NOT_FOUND;
  }

  HANDLE OpenShared(DWORD access) const {
    return CreateFileW(path_.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  void CloseFile() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

  // The next content is written beside the INI file under this name. Only the lock
  // holder uses it, so one name per file suffices.
  std::wstring SideName() const { return path_ + L".tolvex-new"; }

  // Other programs holding the INI file open (Windows before 10 and Wine refuse to
  // replace an open file, but let it be renamed when it was opened with delete sharing):
  // move the old file aside under a unique name, move the new one in, drop the old one.
  // A process killed between the two renames leaves no INI file but a complete side
  // file; Recover() puts it in place before anyone of ours reads.
  bool SwapAside(const std::wstring& side) const {
    static volatile LONG counter = 0;
    std::wstring aside = path_ + L"." + Hex(GetCurrentProcessId(), 8) +
                         Hex(static_cast<uint32_t>(InterlockedIncrement(&counter)), 8) + L".tolvex-old";
    if (!MoveFileExW(path_.c_str(), aside.c_str(), 0)) return false;
    if (!MoveFileExW(side.c_str(), path_.c_str(), 0)) {
      DWORD code = GetLastError();
      MoveFileExW(aside.c_str(), path_.c_str(), 0);
      SetLastError(code);
      return false;
    }
    DeleteFileW(aside.c_str());  // pending until the other holders let go
    return true;
  }

  // Finishes or clears what a killed replacement left behind (called under the lock).
  void Recover() const {
    const std::wstring side = SideName();
    if (GetFileAttributesW(side.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) {
      // Killed between moving the old file aside and the new one in: the new one is whole.
      MoveFileExW(side.c_str(), path_.c_str(), 0);
    } else {
      DeleteFileW(side.c_str());  // killed while writing it: the INI file never changed
    }
    WIN32_FIND_DATAW found;
    std::wstring folder = path_.substr(0, path_.find_last_of(L"\\/") + 1);
    HANDLE find = FindFirstFileW((path_ + L".*.tolvex-old").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do DeleteFileW((folder + found.cFileName).c_str());
    while (FindNextFileW(find, &found));
    FindClose(find);
  }

  // Renames the side file over the INI file through its handle with POSIX semantics,
  // which also works while other programs hold the INI file open. Systems before
  // Windows 10 refuse; the caller then falls back to MoveFileEx.
  bool RenameOver(HANDLE temp) const {
    const DWORD kReplaceIfExists = 0x1, kPosixSemantics = 0x2;
    const auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + path_.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    DWORD flags = kReplaceIfExists | kPosixSemantics;
    std::memcpy(info, &flags, sizeof flags);  // the first member holds the flags on Windows 10
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(path_.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, path_.c_str(), path_.size() * sizeof(wchar_t));
    return SetFileInformationByHandle(temp, kFileRenameInfoEx, info, static_cast<DWORD>(buffer.size()));
  }

  std::wstring path_;
  std::wstring base_name_;
  HANDLE mapping_ = nullptr;
  SharedBlock* shared_ = nullptr;
  HANDLE alive_ = nullptr;
  LONG id_ = 0;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool writable_ = false;
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
