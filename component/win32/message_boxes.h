#pragma once
// Message boxes on Windows: task-modal, without an owner.
#include "component/platform.h"

namespace component {

class Win32MessageBoxes : public MessageBoxes {
 public:
  int Show(TextView text, TextView title, uint32_t style) override;
};

}  // namespace component
