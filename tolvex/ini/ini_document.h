#pragma once
// The parsed image of one INI file: its whole text, its lines, and per section an index
// of keys. Reads follow the platform's profile functions: lines end at CR, LF or CRLF;
// white space around names and values is ignored; a line starting with ';' is a
// comment; "[name]" opens a section (name up to the last ']'); a key line splits at its
// first '='; of two sections or two keys with one name the first one counts.
//
// Values are changed in place only within their own line (Overwrite), so the lines and
// the key index stay as they are.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "tolvex/ini/ini_text.h"

namespace tolvex::ini {

inline constexpr size_t kNone = static_cast<size_t>(-1);

enum class LineKind : uint8_t { kBlank, kComment, kSection, kKey, kOther };

struct Line {
  size_t start = 0;      // index in the text of the line's first character
  size_t length = 0;     // characters before the line break
  uint8_t term = 0;      // characters of the line break: 0 (open last line), 1 or 2
  LineKind kind = LineKind::kBlank;
  uint32_t block = 0;    // the section block the line belongs to
};

struct KeyEntry {
  Text name;            // spelled as in the file
  size_t line = kNone;  // its first line, the one readers see
};

// A run of lines from a section header up to the next one. Block 0 holds the lines
// before the first header and has no name.
struct SectionBlock {
  Text name;
  size_t header = kNone;
  size_t end = 0;               // one past the block's last line
  bool shadowed = false;        // an earlier block has the same name: readers skip this one
  bool has_later_twin = false;  // a later block has the same name
  std::vector<KeyEntry> keys;   // first occurrences, in file order
  std::unordered_map<Text, size_t> index;  // folded name -> position in keys
};

class IniDocument {
 public:
  IniDocument() { Assign({}); }

  void Assign(Text text);
  // Adds text at the end and parses what it adds. When the last line is open, `more`
  // should start with a line break (otherwise the whole text is parsed again).
  void Append(TextView more);
  // Mirrors an in-place write: `chars` (no line breaks) replace the text from `pos` on.
  void Overwrite(size_t pos, TextView chars) { text_.replace(pos, chars.size(), chars); }

  const Text& text() const { return text_; }
  const std::vector<Line>& lines() const { return lines_; }
  const std::vector<SectionBlock>& blocks() const { return blocks_; }
  TextView Content(size_t line) const {
    return TextView(text_).substr(lines_[line].start, lines_[line].length);
  }

  // The first block with this name, or kNone.
  size_t FindSection(TextView name) const;
  // Position of the key in blocks()[block].keys, or kNone.
  size_t FindKey(size_t block, TextView name) const;
  Text ValueOf(const KeyEntry& key) const;
  // Index in the text just after the line's first '=', or kNone.
  size_t ValueStart(size_t line) const;

  bool IsLastBlock(size_t block) const { return blocks_[block].end == lines_.size(); }
  bool EndsWithOpenLine() const { return !lines_.empty() && lines_.back().term == 0; }
  size_t BlockBegin(size_t block) const { return block == 0 ? 0 : blocks_[block].header; }

 private:
  void ParseFrom(size_t pos);
  void AddLine(size_t start, size_t length, uint8_t term);
  void AddKey(size_t line, TextView name);

  Text text_;
  std::vector<Line> lines_;
  std::vector<SectionBlock> blocks_;
  std::unordered_map<Text, size_t> section_index_;  // folded name -> first block
};

}  // namespace tolvex::ini
