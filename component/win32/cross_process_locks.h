#pragma once
// The component's cross-process locks on Windows (winkit/cross_process_lock.h): a named
// lock is a named lock of the session; the report counter's lock is a
// lock of the report file's own. The report file's handle stays open between messages
// while the caller keeps what the guard hands out (Guard::Kept(), kept by the module
// state beside the INI file handler, which keeps its own handle on the same file open
// as long), for its last path while it is still the file at that path. One object
// serves one thread.
#include <map>
#include <memory>

#include "component/platform.h"
#include "winkit/handles.h"

namespace component {

class Win32CrossProcessLocks : public CrossProcessLocks {
 public:
  std::unique_ptr<Guard> Acquire(TextView name) override;
  std::unique_ptr<Guard> AcquireReportCounter(TextView path) override;

 private:
  Text report_path_;
  std::weak_ptr<winkit::Handle> report_file_;  // open while a caller keeps it
};

}  // namespace component
