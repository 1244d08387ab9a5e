// File bytes through decoding and parsing. The parsed document must agree with a plain
// reader of the rules in ini_document.h, and the text appended in pieces must give the
// same document as the whole text at once.
//
// Input: one byte choosing where the text is cut for the appends, then the file.
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "tolvex/ini/ini_document.h"
#include "tolvex/ini/ini_text.h"

namespace {

using namespace tolvex::ini;

// ---- decoding -------------------------------------------------------------------------

std::string Utf16Bytes(TextView text, bool big_endian) {
  std::string out = ToUtf16Le(text);
  if (big_endian)
    for (size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

std::u16string AsciiOf(std::string_view bytes) {
  std::u16string out;
  for (char b : bytes)
    if (static_cast<unsigned char>(b) < 0x80) out.push_back(static_cast<char16_t>(b));
  return out;
}

std::u16string AsciiOf(TextView text) {
  std::u16string out;
  for (char16_t c : text)
    if (c < 0x80) out.push_back(c);
  return out;
}

void CheckDecoding(std::string_view bytes, const DecodedFile& file) {
  switch (file.encoding) {
    case FileEncoding::kUtf16Le:
    case FileEncoding::kUtf16Be:
    case FileEncoding::kUtf16LeNoBom: {
      // Every code unit as it stands; half a unit at the end is dropped and reported.
      std::string_view body = file.encoding == FileEncoding::kUtf16LeNoBom ? bytes : bytes.substr(2);
      FUZZ_CHECK(file.odd_tail == (body.size() % 2 != 0));
      FUZZ_CHECK(Utf16Bytes(file.text, file.encoding == FileEncoding::kUtf16Be) == body.substr(0, body.size() & ~size_t{1}));
      break;
    }
    case FileEncoding::kUtf8Bom:
    case FileEncoding::kUtf8:
    case FileEncoding::kAnsi: {
      std::string_view body = file.encoding == FileEncoding::kUtf8Bom ? bytes.substr(3) : bytes;
      // In an 8-bit file a byte below 0x80 is that character, whatever surrounds it, and
      // nothing else decodes to one: line breaks, '=', '[' and ';' stay where they are.
      FUZZ_CHECK(AsciiOf(body) == AsciiOf(TextView(file.text)));
      if (file.encoding != FileEncoding::kAnsi && IsValidUtf8(body)) FUZZ_CHECK(common::ToUtf8(file.text) == body);
      if (file.encoding == FileEncoding::kUtf8) FUZZ_CHECK(IsValidUtf8(body));
      if (file.encoding == FileEncoding::kAnsi) FUZZ_CHECK(file.text.size() == body.size());
      break;
    }
  }
}

// ---- a plain reader of the rules --------------------------------------------------------

struct ReadKey {
  Text name;
  Text raw;  // after the first '='
};
struct ReadSection {
  Text name;
  std::vector<ReadKey> keys;  // first of each name, in file order
};

// Sections in file order, first of each name; [0] holds the keys before the first header.
std::vector<ReadSection> Read(TextView text) {
  constexpr size_t kSkip = static_cast<size_t>(-1);  // in a repeated section
  std::vector<ReadSection> sections(1);
  size_t current = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = std::min(text.find_first_of(u"\r\n", pos), text.size());
    TextView line = TrimIniSpace(text.substr(pos, end - pos));
    pos = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    if (line.empty() || line[0] == u';') continue;
    if (line[0] == u'[' && line.rfind(u']') != TextView::npos) {
      Text name(line.substr(1, line.rfind(u']') - 1));
      current = sections.size();
      for (size_t s = 1; s < sections.size(); ++s)
        if (FoldName(sections[s].name) == FoldName(name)) current = kSkip;
      if (current != kSkip) sections.push_back({name, {}});
      continue;
    }
    size_t eq = line.find(u'=');
    Text name(TrimIniSpace(line.substr(0, eq)));
    if (current == kSkip || name.empty()) continue;
    bool seen = false;
    for (const ReadKey& key : sections[current].keys) seen = seen || FoldName(key.name) == FoldName(name);
    if (!seen) sections[current].keys.push_back({name, eq == TextView::npos ? Text() : Text(line.substr(eq + 1))});
  }
  return sections;
}

void CheckKeys(const IniDocument& doc, size_t block, const ReadSection& read) {
  const auto& keys = doc.blocks()[block].keys;
  FUZZ_CHECK(keys.size() == read.keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    FUZZ_CHECK(keys[i].name == read.keys[i].name);
    FUZZ_CHECK(doc.FindKey(block, read.keys[i].name) == i);
    FUZZ_CHECK(doc.FindKey(block, FoldName(read.keys[i].name)) == i);
    FUZZ_CHECK(doc.ValueOf(keys[i]) == DecodeValue(read.keys[i].raw));
  }
}

void CheckAgainstReader(const IniDocument& doc) {
  std::vector<ReadSection> read = Read(doc.text());
  CheckKeys(doc, 0, read[0]);
  size_t visible = 0;
  for (size_t b = 1; b < doc.blocks().size(); ++b) visible += doc.blocks()[b].shadowed ? 0 : 1;
  FUZZ_CHECK(visible == read.size() - 1);
  for (size_t s = 1; s < read.size(); ++s) {
    size_t block = doc.FindSection(read[s].name);
    FUZZ_CHECK(block != kNone && block != 0);
    FUZZ_CHECK(doc.blocks()[block].name == read[s].name && !doc.blocks()[block].shadowed);
    FUZZ_CHECK(doc.FindSection(FoldName(read[s].name)) == block);
    CheckKeys(doc, block, read[s]);
  }
}

// ---- appending in pieces ----------------------------------------------------------------

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

void CheckSameDocument(const IniDocument& a, const IniDocument& b) {
  FUZZ_CHECK(a.text() == b.text());
  FUZZ_CHECK(a.lines().size() == b.lines().size());
  for (size_t i = 0; i < a.lines().size(); ++i) {
    const Line &x = a.lines()[i], &y = b.lines()[i];
    FUZZ_CHECK(x.start == y.start && x.length == y.length && x.term == y.term && x.kind == y.kind &&
               x.block == y.block);
  }
  FUZZ_CHECK(a.blocks().size() == b.blocks().size());
  for (size_t i = 0; i < a.blocks().size(); ++i) {
    const SectionBlock &x = a.blocks()[i], &y = b.blocks()[i];
    FUZZ_CHECK(x.name == y.name && x.header == y.header && x.end == y.end && x.shadowed == y.shadowed &&
               x.has_later_twin == y.has_later_twin && x.index == y.index);
    FUZZ_CHECK(x.keys.size() == y.keys.size());
    for (size_t k = 0; k < x.keys.size(); ++k)
      FUZZ_CHECK(x.keys[k].name == y.keys[k].name && x.keys[k].line == y.keys[k].line);
    if (i > 0) FUZZ_CHECK(a.FindSection(x.name) == b.FindSection(y.name));
  }
}

// Cuts only where Append() allows it: where a piece ends with a line break or the next
// starts with one. Bit n % 8 of `cuts` says whether the n-th such place is cut.
void CheckAppendInPieces(const IniDocument& whole, uint8_t cuts) {
  TextView text = whole.text();
  IniDocument doc;
  size_t from = 0, place = 0;
  for (size_t pos = 1; pos < text.size(); ++pos) {
    if (!IsBreak(text[pos - 1]) && !IsBreak(text[pos])) continue;
    if ((cuts >> (place++ % 8)) & 1) {
      doc.Append(text.substr(from, pos - from));
      from = pos;
    }
  }
  doc.Append(text.substr(from));
  CheckSameDocument(doc, whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t cuts = data[0];
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  DecodedFile file = DecodeFile(bytes);
  CheckDecoding(bytes, file);
  IniDocument doc;
  doc.Assign(file.text);
  CheckAgainstReader(doc);
  CheckAppendInPieces(doc, cuts);
  return 0;
}
