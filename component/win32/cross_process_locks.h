#pragma once
// The component's cross-process locks on Windows (winkit/cross_process_lock.h): a named
// lock is a named lock of the session, kept open by name; the report counter's lock is a
// lock of the report file's own. One object serves one thread.
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
  std::map<Text, winkit::Handle, std::less<>> named_;
};

}  // namespace component
