#include "windows/report_file_watch.h"

#include <algorithm>

#include "common/automation_error.h"
#include "tolvex/ini/ini_text.h"
#include "tolvex/ini/win32_ini_storage.h"
#include "winkit/errors.h"

namespace windows {

namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr size_t kReadBytes = 1 << 20;

// The file at `path` under its lock for one look; no lock when there is no file.
class LockedReport {
 public:
  explicit LockedReport(const std::wstring& path)
      : storage_(tolvex::Win32IniStorageProvider::Instance().Open(common::Text(path.begin(), path.end()))) {
    storage_->Lock(/*create=*/false, tolvex::IniStorage::Scope::kContent);
  }
  ~LockedReport() { storage_->Unlock(); }
  LockedReport(const LockedReport&) = delete;
  LockedReport& operator=(const LockedReport&) = delete;

  tolvex::IniStorage& operator*() const { return *storage_; }
  tolvex::IniStorage* operator->() const { return storage_.get(); }

 private:
  std::unique_ptr<tolvex::IniStorage> storage_;
};

}  // namespace

bool ReportFileWatch::IdentityNow(winkit::FileIdentity* identity) const {
  winkit::Handle file(CreateFileW(path_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && winkit::IdentityOf(file.get(), identity);
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
  native_ = false;
  size_ = 0;
  tail_ = viewer::ReportTail();
  present_ = IdentityNow(&identity_);
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

bool ReportFileWatch::ReadWhole(const std::wstring& path, const Take& take) {
  SetPath(path);
  present_ = native_ = false;
  size_ = 0;
  tail_ = viewer::ReportTail();
  std::unique_ptr<LockedReport> file;
  try {
    file = std::make_unique<LockedReport>(path_);
  } catch (const common::AutomationError&) {
    return false;  // the handler says what is wrong with the path
  }
  const tolvex::IniStamp stamp = (*file)->Stamp();
  if (!stamp.exists || !IdentityNow(&identity_) || (*file)->Head(2) != tolvex::ini::kUtf16LeBom) return false;
  present_ = native_ = true;
  size_ = stamp.size & ~uint64_t{1};
  written_ = stamp.write_time;
  const auto counts = tolvex::ChangeCountsOfHead((*file)->Head(tolvex::kChangeCountsHeadBytes));
  while (tail_.consumed() < size_) {
    const uint64_t from = tail_.consumed();
    const std::string bytes = (*file)->Read(from, static_cast<size_t>(std::min<uint64_t>(size_ - from, kReadBytes)));
    if (bytes.empty()) break;  // shorter than it said: the next look sees why
    const bool last = from + bytes.size() >= size_;
    std::vector<viewer::ReportEntry> entries = tail_.Feed(bytes, last);
    if (!entries.empty()) take(std::move(entries));
    if (last) break;
    if (tail_.consumed() == from) {  // a line longer than one read
      const std::string longer = (*file)->Read(from, static_cast<size_t>(size_ - from));
      entries = tail_.Feed(longer, true);
      if (!entries.empty()) take(std::move(entries));
      break;
    }
  }
  tail_.Note(counts);
  return true;
}

bool ReportFileWatch::LookIsDue() {
  if (!notification_ || WaitForSingleObject(notification_.get(), 0) != WAIT_OBJECT_0) return false;
  FindNextChangeNotification(notification_.get());
  return true;
}

ReportFileWatch::Look ReportFileWatch::ReadAdded(std::vector<viewer::ReportEntry>& entries) {
  std::unique_ptr<LockedReport> file;
  try {
    file = std::make_unique<LockedReport>(path_);
  } catch (const common::AutomationError&) {
    return Look::kNothingNew;  // kept locked, or not to be read now: the next look tries again
  }
  const tolvex::IniStamp stamp = (*file)->Stamp();
  if (!stamp.exists) return present_ ? Look::kReplaced : Look::kNothingNew;
  winkit::FileIdentity identity;
  if (!present_ || !native_ || !IdentityNow(&identity) || !(identity == identity_)) return Look::kReplaced;
  const uint64_t size = stamp.size & ~uint64_t{1};
  if (size == size_ && stamp.write_time == written_) return Look::kNothingNew;
  if (size < tail_.consumed()) return Look::kReplaced;
  const auto counts = tolvex::ChangeCountsOfHead((*file)->Head(tolvex::kChangeCountsHeadBytes));
  const uint64_t from = tail_.consumed();
  auto added = tail_.ReadOn((*file)->Read(from, static_cast<size_t>(size - from)), counts);
  if (!added) return Look::kReplaced;
  size_ = size;
  written_ = stamp.write_time;
  entries = std::move(*added);
  return entries.empty() ? Look::kNothingNew : Look::kAdded;
}

}  // namespace windows
