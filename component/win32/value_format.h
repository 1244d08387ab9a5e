#pragma once
// The text form of automation values on Windows: the platform's variant conversion
// under the user's locale.
#include "component/platform.h"

namespace component {

// The text of the last date is kept for the same date: the conversion reads the locale's
// settings from the registry each time, and consecutive messages mostly carry the same
// second.
class VariantValueFormat : public ValueFormat {
 public:
  Text TextOf(const Value& value) override;

 private:
  double last_date_ = 0;
  Text last_date_text_;
  bool has_last_date_ = false;
};

}  // namespace component
