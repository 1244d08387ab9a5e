#include "windows/report_file_watch.h"

#include <algorithm>

#include "common/automation_error.h"
#include "tolvex/ini/ini_text.h"
#include "winkit/errors.h"

namespace windows {

namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr size_t kReadBytes = 1 << 20;

uint64_t SizeOf(HANDLE file) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool ReadAt(HANDLE file, uint64_t offset, std::string& bytes, size_t count) {
  bytes.resize(count);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(count), &read, &at)) return false;
  bytes.resize(read);
  return true;
}

}  // namespace

winkit::Handle ReportFileWatch::Open() const {
  return winkit::Handle(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void ReportFileWatch::SetPath(const std::wstring& path) {
  if (path == path_) return;
  path_ = path;
  if (watching()) {  // the watch goes with the file to its folder
    Stop();
    try {
      Start();
    } catch (const common::AutomationError&) {
    }
  }
}

void ReportFileWatch::MarkRead(const std::wstring& path) {
  SetPath(path);
  // Only a file in another form (or none) is read through the handler, and any change to
  // such a file is read again whole: what matters is whether it is there.
  present_ = native_ = false;
  size_ = 0;
  tail_ = viewer::ReportTail();
  winkit::Handle file = Open();
  present_ = file && winkit::IdentityOf(file.get(), &identity_);
}

void ReportFileWatch::Start() {
  if (notification_) return;
  std::wstring folder = path_.substr(0, path_.find_last_of(L"\\/") == std::wstring::npos ? 0 : path_.find_last_of(L"\\/"));
  if (folder.empty() || folder.back() == L':') folder += L'\\';
  notification_.reset(FindFirstChangeNotificationW(folder.c_str(), FALSE, kChanges));
  if (!notification_) {
    DWORD error = GetLastError();
    throw common::AutomationError(75, u"Cannot watch the report file's folder: " + winkit::SystemMessage(error));
  }
}

bool ReportFileWatch::ReadOn(HANDLE file, const Take& take) {
  std::string bytes;
  uint64_t want = kReadBytes;
  while (tail_.consumed() < size_) {
    const uint64_t from = tail_.consumed();
    const uint64_t count = std::min(size_ - from, want);
    if (!ReadAt(file, from, bytes, static_cast<size_t>(count))) return false;
    if (bytes.empty()) break;  // shorter than it said: the next look sees why
    std::vector<viewer::ReportEntry> entries = tail_.Feed(bytes);
    if (!entries.empty()) take(std::move(entries));
    if (tail_.consumed() == from) {
      if (count == size_ - from) break;  // an unfinished line: the next look reads it again
      want *= 2;                         // a line longer than one read
    }
  }
  return true;
}

bool ReportFileWatch::ReadWhole(const std::wstring& path, const Take& take) {
  SetPath(path);
  present_ = native_ = false;
  size_ = 0;
  tail_ = viewer::ReportTail();
  winkit::Handle file = Open();
  if (!file || !winkit::IdentityOf(file.get(), &identity_)) return false;
  std::string mark;
  if (!ReadAt(file.get(), 0, mark, 2) || mark != tolvex::ini::kUtf16LeBom) return false;
  present_ = native_ = true;
  size_ = SizeOf(file.get()) & ~uint64_t{1};
  if (!ReadOn(file.get(), take)) {
    const DWORD error = GetLastError();
    throw common::AutomationError(57, u"Cannot read the report file: " + winkit::SystemMessage(error));
  }
  return true;
}

bool ReportFileWatch::LookIsDue() {
  bool due = present_ && native_ && tail_.consumed() < size_;  // a line still being written
  if (notification_ && WaitForSingleObject(notification_.get(), 0) == WAIT_OBJECT_0) {
    FindNextChangeNotification(notification_.get());
    due = true;
  }
  return due;
}

ReportFileWatch::Look ReportFileWatch::ReadAdded(std::vector<viewer::ReportEntry>& entries) {
  winkit::Handle file = Open();
  if (!file) return present_ ? Look::kReplaced : Look::kNothingNew;
  winkit::FileIdentity identity;
  if (!present_ || !native_ || !winkit::IdentityOf(file.get(), &identity) || !(identity == identity_))
    return Look::kReplaced;
  const uint64_t size = SizeOf(file.get()) & ~uint64_t{1};
  if (size < size_) return Look::kReplaced;
  size_ = size;
  if (!ReadOn(file.get(), [&](std::vector<viewer::ReportEntry>&& more) {
        entries.insert(entries.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
      }))
    return Look::kReplaced;  // unreadable now: read it whole again
  return entries.empty() ? Look::kNothingNew : Look::kAdded;
}

}  // namespace windows
