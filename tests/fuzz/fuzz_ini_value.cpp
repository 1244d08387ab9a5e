// Any value through the value encoding and back: exactly the same text, on one line,
// also after the blanks an in-place update leaves behind it; and a profile reader (trim,
// then strip one pair of quotes) gets the value itself when it holds no control character.
#include "fuzz_input.h"
#include "tolvex/ini/ini_text.h"

namespace {

using namespace tolvex::ini;
using tolvex::fuzz::FuzzInput;

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

Text ProfileRead(TextView raw) {
  TextView t = TrimIniSpace(raw);
  if (t.size() >= 2 && (t.front() == u'"' || t.front() == u'\'') && t.back() == t.front())
    t = t.substr(1, t.size() - 2);
  return Text(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const size_t pad = in.Byte() % 8;
  const Text value = in.Rest();
  const Text encoded = EncodeValue(value);

  FUZZ_CHECK(encoded.find_first_of(u"\r\n") == Text::npos);
  FUZZ_CHECK(encoded.empty() || (!IsIniSpace(encoded.front()) && !IsIniSpace(encoded.back())));
  FUZZ_CHECK(DecodeValue(encoded) == value);
  FUZZ_CHECK(DecodeValue(encoded + Text(pad, u' ')) == value);

  bool plain = value.empty() || value.front() != kEscapeMarker;
  for (char16_t c : value) plain = plain && !IsControl(c);
  if (plain) FUZZ_CHECK(ProfileRead(encoded) == value);
  return 0;
}
