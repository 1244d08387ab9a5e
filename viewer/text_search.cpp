#include "viewer/text_search.h"

#include <memory>

#include "tolvex/ini/ini_text.h"

namespace viewer {

namespace {

// Every code unit's folded form, so that a search costs one load per unit.
const char16_t* FoldTable() {
  static const std::unique_ptr<char16_t[]> table = [] {
    auto t = std::make_unique<char16_t[]>(0x10000);
    for (uint32_t c = 0; c < 0x10000; ++c) t[c] = tolvex::ini::FoldChar(static_cast<char16_t>(c));
    return t;
  }();
  return table.get();
}

}  // namespace

char16_t FoldCase(char16_t c) {
  static const char16_t* const table = FoldTable();
  return table[c];
}

bool IsWordChar(char16_t c) {
  if (c < 0x80) return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
  if (c < 0xC0) return c == 0xAA || c == 0xB5 || c == 0xBA;
  if (c < 0x250) return c != 0xD7 && c != 0xF7;                    // Latin-1 letters, Latin Extended-A and -B
  if (c >= 0x370 && c < 0x400) return c != 0x37E && c != 0x387 && c != 0x375;  // Greek, less its punctuation
  if (c >= 0x400 && c < 0x530) return c < 0x482 || c >= 0x48A;     // Cyrillic, less its signs
  return false;
}

TextMatcher::TextMatcher(TextView needle, bool match_case, bool whole_word)
    : needle_(needle), match_case_(match_case), whole_word_(whole_word) {
  for (char16_t& c : needle_) c = Unit(c);
  const size_t m = needle_.size();
  shift_.fill(static_cast<uint32_t>(m ? m : 1));
  // Units that share a low byte share a slot; the smallest shift keeps the search exact.
  for (size_t i = 0; i + 1 < m; ++i) shift_[needle_[i] & 0xFF] = static_cast<uint32_t>(m - 1 - i);
}

size_t TextMatcher::Scan(TextView text, size_t from) const {
  const size_t m = needle_.size(), n = text.size();
  if (m == 0 || n < m) return TextView::npos;
  const char16_t last = needle_[m - 1];
  for (size_t pos = from; pos + m <= n;) {
    const char16_t c = Unit(text[pos + m - 1]);
    if (c == last) {
      size_t i = 0;
      while (i + 1 < m && Unit(text[pos + i]) == needle_[i]) ++i;
      if (i + 1 == m) return pos;
    }
    pos += shift_[c & 0xFF];
  }
  return TextView::npos;
}

size_t TextMatcher::FindIn(TextView text, size_t from) const {
  for (size_t pos = Scan(text, from); pos != TextView::npos; pos = Scan(text, pos + 1)) {
    if (!whole_word_) return pos;
    const size_t end = pos + needle_.size();
    if ((pos == 0 || !IsWordChar(text[pos - 1])) && (end == text.size() || !IsWordChar(text[end]))) return pos;
  }
  return TextView::npos;
}

}  // namespace viewer
