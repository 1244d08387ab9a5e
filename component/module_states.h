#pragma once
// The module state exists once per thread that uses the library: objects created
// on one thread share it, objects on different threads share nothing.
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "component/module_state.h"

namespace component {

class ModuleStates {
 public:
  // The calling thread's state, created on first use.
  ModuleState& Current();
  // Drops a thread's state when the thread ends (the library's thread detach).
  void ReleaseThread(std::thread::id thread);
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::thread::id, std::unique_ptr<ModuleState>> states_;
};

}  // namespace component
