#include "tolvex/ini/ini_file.h"

#include <algorithm>

namespace tolvex {

using ini::kNone;

namespace {

constexpr TextView kBreak = u"\r\n";

Text Blanks(size_t n) { return Text(n, u' '); }

// Value room of a new pair: enough for the value and for some growth after it.
size_t SlotRoom(size_t encoded) { return encoded + std::max<size_t>(8, encoded / 4); }

// Offset in the file of a character of the text (after the 2-byte mark).
uint64_t ByteOffset(size_t pos) { return 2 + 2 * static_cast<uint64_t>(pos); }

// The change count line (see ini_file.h).
constexpr TextView kChangesPrefix = u";changes=";
constexpr size_t kChangesDigits = 16;
constexpr size_t kChangesLine = kChangesPrefix.size() + kChangesDigits;

std::optional<uint64_t> ChangeCount(TextView text) {
  if (text.size() <= kChangesLine || text.substr(0, kChangesPrefix.size()) != kChangesPrefix) return std::nullopt;
  if (text[kChangesLine] != u'\r' && text[kChangesLine] != u'\n') return std::nullopt;
  uint64_t count = 0;
  for (char16_t c : text.substr(kChangesPrefix.size(), kChangesDigits)) {
    if (c < u'0' || c > u'9') return std::nullopt;
    count = count * 10 + static_cast<uint64_t>(c - u'0');
  }
  return count;
}

// The count at the head of the file's bytes, for a file in this engine's own form.
std::optional<uint64_t> ChangeCountOfHead(std::string_view head) {
  if (head.substr(0, 2) != ini::kUtf16LeBom) return std::nullopt;
  Text text;
  for (size_t i = 2; i + 1 < head.size(); i += 2)
    text += static_cast<char16_t>(static_cast<uint8_t>(head[i]) | static_cast<uint8_t>(head[i + 1]) << 8);
  return ChangeCount(text);
}

Text ChangesDigits(uint64_t count) {
  Text digits(kChangesDigits, u'0');
  for (size_t i = kChangesDigits; i-- > 0; count /= 10) digits[i] = static_cast<char16_t>(u'0' + count % 10);
  return digits;
}

Text Join(TextView a, TextView b, TextView c = {}) {
  Text out;
  out.reserve(a.size() + b.size() + c.size());
  out.append(a).append(b).append(c);
  return out;
}

}  // namespace

struct IniFile::Edit {
  size_t block = kNone;  // the section's first block, or kNone for a new section
  size_t key = kNone;    // the key within it, or kNone for a new key
  TextView section;
  TextView key_name;
  TextView encoded;
};

IniFile::IniFile(std::unique_ptr<IniStorage> storage) : storage_(std::move(storage)) {}
IniFile::~IniFile() = default;

void IniFile::Load() {
  // The stamp is taken first: a change that lands while we read shows as a new stamp.
  IniStamp stamp = storage_->Stamp();
  std::optional<std::string> bytes = storage_->Load();
  if (!bytes) {
    doc_.Assign({});
    native_ = false;
  } else {
    ini::DecodedFile file = ini::DecodeFile(*bytes);
    native_ = file.encoding == ini::FileEncoding::kUtf16Le;
    doc_.Assign(std::move(file.text));
  }
  changes_ = native_ ? ChangeCount(doc_.text()) : std::nullopt;
  stamp_ = stamp;
  loaded_ = true;
}

// Whether the image is still the file's content. Without the lock this is as of the
// moment of the look: a change that starts later has not bumped the count yet.
bool IniFile::Fresh() {
  if (!loaded_) return false;
  if (!(storage_->Stamp() == stamp_)) return false;  // also notices a replaced file
  return ChangeCountOfHead(storage_->Head(ini::kUtf16LeBom.size() + 2 * (kChangesLine + 1))) == changes_;
}

void IniFile::Refresh(bool locked) {
  if (Fresh()) return;
  loaded_ = false;
  if (locked) {
    Load();
  } else {
    IniStorageLock lock(*storage_, /*create=*/false);
    Load();
  }
}

void IniFile::BumpChanges() {
  *changes_ += 1;
  WriteChars(kChangesPrefix.size(), ChangesDigits(*changes_));
}

Text IniFile::Get(TextView section, TextView key) {
  Refresh(false);
  size_t block = doc_.FindSection(section);
  if (block == kNone) return {};
  size_t k = doc_.FindKey(block, key);
  return k == kNone ? Text() : doc_.ValueOf(doc_.blocks()[block].keys[k]);
}

std::vector<Text> IniFile::Keys(TextView section) {
  Refresh(false);
  std::vector<Text> names;
  size_t block = doc_.FindSection(section);
  if (block == kNone) return names;
  for (const auto& key : doc_.blocks()[block].keys) names.push_back(key.name);
  return names;
}

void IniFile::Set(TextView section, TextView key, TextView value) {
  Text encoded = ini::EncodeValue(value);
  IniStorageLock lock(*storage_, /*create=*/true);
  try {
    Refresh(true);
    size_t block = doc_.FindSection(section);
    size_t k = block == kNone ? kNone : doc_.FindKey(block, key);
    if (k != kNone && doc_.ValueOf(doc_.blocks()[block].keys[k]) == value) return;
    Edit edit{block, k, section, key, encoded};
    Text key_line = Join(key, u"=", encoded);
    enum class How { kRewrite, kAppendSection, kAppendKey, kPair } how = How::kRewrite;
    if (native_ && changes_) {
      if (block == kNone) {
        how = How::kAppendSection;
      } else if (k == kNone) {
        if (doc_.IsLastBlock(block)) how = How::kAppendKey;
      } else {
        const ini::KeyEntry& entry = doc_.blocks()[block].keys[k];
        if (entry.spare != kNone) {
          const ini::Line& spare = doc_.lines()[entry.spare];
          if (encoded.size() <= spare.start + spare.length - doc_.ValueStart(entry.spare)) how = How::kPair;
        }
      }
    }
    if (how != How::kRewrite) BumpChanges();
    switch (how) {
      case How::kRewrite:
        Rewrite(edit);
        break;
      case How::kAppendSection: {
        Text header = Join(u"[", section, u"]");
        AppendLines(&header, key_line);
        break;
      }
      case How::kAppendKey:
        AppendLines(nullptr, key_line);
        break;
      case How::kPair:
        UpdatePair(block, k, encoded);
        break;
    }
    stamp_ = storage_->Stamp();
  } catch (...) {
    loaded_ = false;  // the image may be ahead of or behind the file: read it again
    throw;
  }
}

void IniFile::WriteChars(size_t pos, TextView chars) {
  storage_->Write(ByteOffset(pos), ini::ToUtf16Le(chars));
}

void IniFile::WriteToggle(size_t pos, char16_t c) {
  // The toggles (';', ' ', '[', a first name character below U+0100) share their high
  // byte (zero), so a flip is a single byte: it lands whole or not at all.
  char low = static_cast<char>(c & 0xFF);
  storage_->Write(ByteOffset(pos), std::string_view(&low, 1));
}

void IniFile::AppendLines(const Text* header, TextView key_line) {
  const size_t end = doc_.text().size();
  Text dead, live;
  if (doc_.EndsWithOpenLine()) dead = live = Text(kBreak);  // never continue someone's line
  size_t header_pos = kNone;
  if (header) {
    header_pos = end + dead.size();
    dead.append(u";").append(TextView(*header).substr(1)).append(kBreak);
    live.append(*header).append(kBreak);
  }
  size_t key_pos = end + dead.size();
  char16_t toggle;
  if (key_line.front() < 0x100) {
    toggle = key_line.front();
    dead.append(u";").append(key_line.substr(1)).append(kBreak);
    live.append(key_line).append(kBreak);
  } else {
    toggle = u' ';
    dead.append(u";").append(key_line).append(kBreak);
    live.append(u" ").append(key_line).append(kBreak);
  }
  // Nothing lies past the end, so a torn append leaves whole characters and at most half
  // of one, which DecodeFile drops: a low byte of CR or LF never meets a high byte of
  // zero. What lands is commented out until the flips.
  WriteChars(end, dead);
  if (header) WriteToggle(header_pos, u'[');
  WriteToggle(key_pos, toggle);
  doc_.Append(live);
}

void IniFile::UpdatePair(size_t block, size_t key, TextView encoded) {
  const ini::KeyEntry& entry = doc_.blocks()[block].keys[key];
  const ini::Line& spare = doc_.lines()[entry.spare];
  size_t value_pos = doc_.ValueStart(entry.spare);
  Text region = Join(encoded, Blanks(spare.start + spare.length - value_pos - encoded.size()));
  // Into the hidden (or shadowed) slot: nobody sees it yet, but its line must stay whole.
  // A write torn inside a character lands the low byte alone, beside the high byte of the
  // character it replaces; over a character below U+0100 a low byte of CR or LF (U+4E0D,
  // U+040A, ...) would end the slot's line and make the rest of the older value a line of
  // its own. Such characters go in twice: first with a blank for their low byte, so that a
  // torn first write leaves no line break; then whole, and as the first write already put
  // their high bytes in place, a torn second write leaves only whole characters.
  Text first = region;
  size_t from = kNone, to = 0;
  for (size_t i = 0; i < first.size(); ++i) {
    char16_t low = first[i] & 0xFF;
    if (low != u'\r' && low != u'\n') continue;
    first[i] = static_cast<char16_t>((first[i] & 0xFF00) | u' ');
    from = std::min(from, i);
    to = i + 1;
  }
  WriteChars(value_pos, first);
  if (from != kNone) WriteChars(value_pos + from, TextView(region).substr(from, to - from));
  if (doc_.text()[spare.start] != u' ') WriteToggle(spare.start, u' ');
  WriteToggle(doc_.lines()[entry.line].start, u';');
  doc_.ApplyPairUpdate(block, key, region);
}

void IniFile::Rewrite(const Edit& edit) {
  const auto& blocks = doc_.blocks();
  const bool new_key = edit.block != kNone && edit.key == kNone;
  const bool move = new_key && !doc_.IsLastBlock(edit.block) && !blocks[edit.block].has_later_twin;
  const size_t old_changes_line = changes_ ? 0 : kNone;
  const uint64_t changes = changes_ ? *changes_ + 1 : 1;
  Text out;
  out.reserve(doc_.text().size() + doc_.lines().size() + 3 * edit.encoded.size() + 64);
  auto put = [&](TextView line) { out.append(line).append(kBreak); };
  put(Join(kChangesPrefix, ChangesDigits(changes)));
  auto put_block = [&](size_t b) {
    const size_t begin = doc_.BlockBegin(b), end = blocks[b].end;
    if (b != edit.block) {
      for (size_t i = begin; i < end; ++i)
        if (i != old_changes_line) put(doc_.Content(i));
      return;
    }
    const ini::KeyEntry* key = edit.key != kNone ? &blocks[b].keys[edit.key] : nullptr;
    size_t insert_after = begin;  // a new key goes after the block's last non-blank line
    if (!key)
      for (size_t i = begin; i < end; ++i)
        if (doc_.lines()[i].kind != ini::LineKind::kBlank) insert_after = i;
    for (size_t i = begin; i < end; ++i) {
      if (i == old_changes_line || (key && i == key->spare)) continue;
      if (key && i == key->line) {
        size_t room = SlotRoom(edit.encoded.size());
        put(Join(Join(u" ", key->name, u"="), edit.encoded, Blanks(room - edit.encoded.size())));
        put(Join(Join(u";", key->name, u"="), Blanks(room)));
        continue;
      }
      put(doc_.Content(i));
      if (!key && i == insert_after) put(Join(edit.key_name, u"=", edit.encoded));
    }
  };
  for (size_t b = 0; b < blocks.size(); ++b)
    if (!(move && b == edit.block)) put_block(b);
  if (move) put_block(edit.block);
  if (edit.block == kNone) {
    put(Join(u"[", edit.section, u"]"));
    put(Join(edit.key_name, u"=", edit.encoded));
  }
  std::string bytes(ini::kUtf16LeBom);
  bytes += ini::ToUtf16Le(out);
  storage_->Replace(bytes);
  doc_.Assign(std::move(out));
  native_ = true;
  changes_ = changes;
}

}  // namespace tolvex
