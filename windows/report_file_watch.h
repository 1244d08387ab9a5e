#pragma once
// Reading the report file straight from disk, and following it as it grows. A file the
// INI engine wrote (UTF-16LE with a byte order mark) is read here in large blocks, its
// entries handed over as they come: the INI file handler's automation surface would cost
// two calls an entry and hold a parsed image of the whole file besides the viewer's rows.
// It is read under the file's lock, as the INI engine reads it (tolvex/ini/ini_storage.h:
// no change is under way meanwhile, and a change left half-done by a killed writer is
// finished or stood in for first).
// A change notification on the file's folder says when to look again; a look reads only
// the bytes added since the one before, so its cost does not grow with the file, as long
// as the file's change counts show that nothing read before was rewritten
// (viewer/report_tail.h). A file that was replaced, deleted, shortened or rewritten is
// told apart by its identity, size and counts, and the caller reads it whole again.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "viewer/report_tail.h"
#include "winkit/file_identity.h"
#include "winkit/handles.h"

namespace windows {

class ReportFileWatch {
 public:
  // Takes note of the file at `path` before it is read through the INI file handler
  // (ReadWhole found it absent or in another form): any later change to it calls for a
  // whole read again. A new path while watching moves the watch to its folder, or stops
  // it when that cannot be watched.
  void MarkRead(const std::wstring& path);

  // Reads the whole file at `path` when the INI engine wrote it, handing each block's
  // entries of the report section to `take`, and takes it as read (as MarkRead does).
  // False, with nothing handed over, for a file that is absent or in another form: the
  // caller reads that one through the INI file handler (also when the file cannot be
  // locked: the handler says why). Raises an automation error when a read fails part way.
  using Take = std::function<void(std::vector<viewer::ReportEntry>&&)>;
  bool ReadWhole(const std::wstring& path, const Take& take);

  // Starts or stops watching the folder. Start raises an automation error when the
  // platform cannot watch it (a folder that does not exist, say).
  void Start();
  void Stop() { notification_.reset(); }
  bool watching() const { return static_cast<bool>(notification_); }

  // Whether a look is due: the folder changed since the last call (the notification is
  // armed again).
  bool LookIsDue();

  enum class Look { kNothingNew, kAdded, kReplaced };
  // Reads the entries added since the last look into `entries`. kReplaced when the file
  // now at the path is another one, is shorter than what was read, had lines read before
  // rewritten, was not written by the INI engine or has gone or appeared.
  Look ReadAdded(std::vector<viewer::ReportEntry>& entries);

 private:
  void SetPath(const std::wstring& path);
  // The identity of the file now at the path (opened for no access); false when absent.
  bool IdentityNow(winkit::FileIdentity* identity) const;

  std::wstring path_;
  winkit::ChangeNotification notification_;
  bool present_ = false;  // the file was there at the last look
  bool native_ = false;   // ... and written by the INI engine
  winkit::FileIdentity identity_{};
  uint64_t size_ = 0;     // its size then (whole characters)
  uint64_t written_ = 0;  // its last write time then
  viewer::ReportTail tail_;
};

}  // namespace windows
