#pragma once
// Finding text in the report viewer's cells: the letter-case folding of the filter and
// of Find, and a matcher that looks for one needle in many short texts.
#include <array>
#include <cstddef>
#include <cstdint>

#include "common/text.h"

namespace viewer {

using common::Text;
using common::TextView;

// Folds letter case one code unit at a time, as INI names compare: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters; anything else stays as it is.
char16_t FoldCase(char16_t c);

// Letters of the alphabets FoldCase knows, ASCII digits and '_': what "whole word" means.
bool IsWordChar(char16_t c);

// One needle, prepared once (folded unless the case must match) for a Horspool search.
class TextMatcher {
 public:
  TextMatcher(TextView needle, bool match_case, bool whole_word);
  bool empty() const { return needle_.empty(); }
  // Where the needle first occurs in `text` at or after `from` (a whole word when asked:
  // the text's ends count as word bounds), or TextView::npos.
  size_t FindIn(TextView text, size_t from = 0) const;
  bool In(TextView text) const { return FindIn(text) != TextView::npos; }

 private:
  char16_t Unit(char16_t c) const { return match_case_ ? c : FoldCase(c); }
  size_t Scan(TextView text, size_t from) const;

  Text needle_;
  bool match_case_;
  bool whole_word_;
  std::array<uint32_t, 256> shift_{};  // by the low byte of the text's unit under the needle's end
};

}  // namespace viewer
