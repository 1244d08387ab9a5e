#include "component/win32/local_clock.h"

#include <windows.h>
#include <oleauto.h>

namespace component {

Value::Date LocalClock::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wMilliseconds = 0;  // the text form shows whole seconds
  double serial = 0;
  SystemTimeToVariantTime(&now, &serial);
  return {serial};
}

}  // namespace component
