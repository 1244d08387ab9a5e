#pragma once
// Text as the automation world holds it: UTF-16 code units, any content (NUL and
// lone surrogates included), so that a value passes through the system unchanged.
#include <cstdint>
#include <string>
#include <string_view>

namespace common {

using Text = std::u16string;
using TextView = std::u16string_view;

// ASCII text to Text (for literals built at run time and for numbers).
Text FromAscii(std::string_view ascii);
// UTF-8 <-> UTF-16; lone surrogates are written as their WTF-8 form so nothing is lost.
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

// Upper-case for ASCII letters only; other characters stay as they are.
Text AsciiUpper(TextView text);
bool EqualsIgnoreAsciiCase(TextView a, TextView b);

// Decimal text of a whole number, no leading zeros, '-' for negatives.
Text IntegerText(int64_t value);

}  // namespace common
