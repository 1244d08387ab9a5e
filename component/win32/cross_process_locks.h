#pragma once
// The component's cross-process locks on Windows: a named lock is a named mutex of the
// session (winkit/named_mutex.h), opened once per name and kept; the report counter's lock
// is the report file's own (winkit/file_lock.h), its file open only while it is held.
// One object serves one thread.
#include <map>

#include "component/platform.h"
#include "winkit/handles.h"

namespace component {

class Win32CrossProcessLocks : public CrossProcessLocks {
 public:
  std::unique_ptr<Guard> Acquire(TextView name) override;
  std::unique_ptr<Guard> AcquireReportCounter(TextView path) override;

 private:
  std::map<Text, winkit::Handle, std::less<>> mutexes_;  // by name
};

}  // namespace component
