#pragma once
// What the fuzz targets share: a reader that turns input bytes into small numbers and
// text, front to back, and a check that stops the run with the failed condition.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "common/text.h"

namespace tolvex::fuzz {

using common::Text;

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void() : ::tolvex::fuzz::Fail(#condition, __FILE__, __LINE__))

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  // Zero once the input is used up.
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  // One character from one byte, leaning towards the characters that mean something in
  // INI files: 0x00-0x7F as they are (line breaks, quotes, controls, '=', ';', '['),
  // 0x80-0x9F from the table below, 0xA0-0xFE the Latin-1 character, 0xFF followed by
  // two bytes any UTF-16 code unit.
  char16_t Char() {
    static constexpr char16_t kNotable[32] = {
        0x0085, 0x00A0, 0x00FF, 0x0178,  // NEL, no-break space, y diaeresis and its capital
        0x010A, 0x010D, 0x0D0A, 0x0A0D,  // a line break's byte in the low or high half
        0x200B, 0x2028, 0x2029, 0x3000,  // spaces and separators
        0xFEFF, 0xFDD0, 0xFFFD, 0xFFFF,  // zero-width no-break space, the escape marker
        0xD800, 0xDBFF, 0xDC00, 0xDFFF,  // surrogates, alone or paired
        0x03A3, 0x03C2, 0x03C3, 0x0416,  // Greek sigmas, Cyrillic Zhe
        0x0436, 0x0401, 0x0451, 0x20AC,  // zhe, Io, io, euro sign
        0x0130, 0x0131, 0x1680, 0x205F,  // dotted and dotless i, more spaces
    };
    uint8_t b = Byte();
    if (b < 0x80) return b;
    if (b < 0xA0) return kNotable[b - 0x80];
    if (b < 0xFF) return b;
    uint8_t lo = Byte();
    return static_cast<char16_t>(lo | Byte() << 8);
  }

  Text Chars(size_t count) {
    Text out;
    while (count-- > 0 && !empty()) out.push_back(Char());
    return out;
  }
  Text Rest() { return Chars(size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace tolvex::fuzz
