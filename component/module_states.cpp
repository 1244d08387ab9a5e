#include "component/module_states.h"

namespace component {

ModuleState& ModuleStates::Current() {
  std::lock_guard lock(mutex_);
  auto& slot = states_[std::this_thread::get_id()];
  if (!slot) slot = std::make_unique<ModuleState>();
  return *slot;
}

void ModuleStates::ReleaseThread(std::thread::id thread) {
  std::unique_ptr<ModuleState> state;
  {
    std::lock_guard lock(mutex_);
    auto it = states_.find(thread);
    if (it == states_.end()) return;
    state = std::move(it->second);
    states_.erase(it);
  }
}

size_t ModuleStates::size() const {
  std::lock_guard lock(mutex_);
  return states_.size();
}

}  // namespace component
