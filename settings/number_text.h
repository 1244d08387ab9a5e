#pragma once
// Settings are stored as texts and read back as numbers.
//
// TextToNumber takes the text's leading decimal number (after leading blanks, with an
// optional sign, fraction and exponent) as a double; an empty or non-numeric text gives 0.
// The rules built on it:
//   S  sink switch:   rounded (half to even) to a 32-bit integer; on only when it is 1
//   C  check box:     rounded the same way; checked when greater than 0
//   I  display:       rounded the same way; its decimal text
//   E  exact:         the number itself compared for equality, no rounding
// A number outside the 32-bit range, where a rule rounds it, counts as 0.
#include <cstdint>

#include "common/text.h"

namespace settings {

using common::Text;
using common::TextView;

double TextToNumber(TextView text);
int32_t RoundToInt32(double number);

int32_t RuleS(TextView text);             // the stored switch value
inline bool SwitchIsOn(int32_t value) { return value == 1; }
bool RuleC(TextView text);                // check box state
Text RuleI(TextView text);                // integer text for display
bool RuleE(TextView text, double value);  // exact comparison

// Decimal text of a whole number as settings write it ("1", "0", "-3").
Text NumberText(double number);

}  // namespace settings
