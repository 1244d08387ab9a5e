#include "settings/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace settings {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

double TextToNumber(TextView text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::string number;  // ASCII copy of the leading number, for strtod
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') number.push_back('-');
    ++i;
  }
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) number.push_back(static_cast<char>(text[i++])), ++digits;
  if (i < text.size() && text[i] == u'.') {
    number.push_back('.');
    ++i;
    while (i < text.size() && IsDigit(text[i])) number.push_back(static_cast<char>(text[i++])), ++digits;
  }
  if (digits == 0) return 0.0;
  // An exponent counts only when digits follow it ("1e5" is 100000, "1e" is 1).
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) exponent.push_back(static_cast<char>(text[j++]));
    size_t exp_digits = 0;
    while (j < text.size() && IsDigit(text[j])) exponent.push_back(static_cast<char>(text[j++])), ++exp_digits;
    if (exp_digits > 0) number += exponent;
  }
  // from_chars ignores the process locale: '.' is always the decimal point.
  double value = 0.0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (number.find("e-") != std::string::npos) return 0.0;  // too small to tell from 0
    return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;           // beyond any rule's range
  }
  (void)end;
  return value;
}

int32_t RoundToInt32(double number) {
  if (!std::isfinite(number)) return 0;
  // Half to even, whatever rounding mode the host process has set.
  double floor = std::floor(number);
  double diff = number - floor;
  double rounded = floor;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1.0;
  if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return 0;
  return static_cast<int32_t>(rounded);
}

int32_t RoundedNumber(TextView text) { return RoundToInt32(TextToNumber(text)); }
bool NumberEquals(TextView text, double value) { return TextToNumber(text) == value; }

Text NumberText(double number) {
  if (std::floor(number) == number && std::fabs(number) < 1e15)
    return common::IntegerText(static_cast<int64_t>(number));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.15g", number);
  return common::FromAscii(buffer);
}

}  // namespace settings
