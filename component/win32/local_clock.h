#pragma once
// The local date and time on Windows, to the whole second.
#include "component/platform.h"

namespace component {

class LocalClock : public Clock {
 public:
  Value::Date Now() override;
};

}  // namespace component
