#pragma once
// Settings are stored as texts and read back as numbers.
//
// TextToNumber takes the text's leading decimal number (after leading blanks, with an
// optional sign, fraction and exponent) as a double; an empty or non-numeric text gives 0.
// Switches and check boxes use it rounded half to even to a 32-bit integer (a number
// outside that range counts as 0); the message level filter compares it exactly.
#include <cstdint>

#include "common/text.h"

namespace settings {

using common::Text;
using common::TextView;

double TextToNumber(TextView text);
int32_t RoundToInt32(double number);

// The text's number rounded: a stored switch value or check box state.
int32_t RoundedNumber(TextView text);
// A sink is on only at exactly 1.
inline bool SwitchIsOn(int32_t value) { return value == 1; }
// Whether the text's number is exactly `value`, without rounding.
bool NumberEquals(TextView text, double value);

// Decimal text of a whole number as settings write it ("1", "0", "-3").
Text NumberText(double number);

}  // namespace settings
