#include "tolvex/ini/ini_file.h"

#include <algorithm>
#include <utility>

namespace tolvex {

using ini::kNone;

namespace {

constexpr TextView kBreak = u"\r\n";

Text Blanks(size_t n) { return Text(n, u' '); }

// Offset in the file of a character of the text (after the 2-byte mark).
uint64_t ByteOffset(size_t pos) { return 2 + 2 * static_cast<uint64_t>(pos); }

// Characters a rebuild gives a changed value: room to grow when the whole field can still
// be rewritten by one whole write, else just the value.
size_t FieldRoom(size_t encoded) {
  size_t room = encoded + std::max<size_t>(8, encoded / 4);
  return 2 * room <= kWholeWriteBytes ? room : encoded;
}

// The change count line (see ini_file.h).
constexpr TextView kChangesPrefix = u";changes=";
constexpr TextView kRewritesPrefix = u" rewrites=";
constexpr size_t kCountDigits = 16;
constexpr size_t kCountsLine = kChangesPrefix.size() + kCountDigits + kRewritesPrefix.size() + kCountDigits;

std::optional<uint64_t> Digits(TextView text) {
  uint64_t count = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    count = count * 10 + static_cast<uint64_t>(c - u'0');
  }
  return count;
}

std::optional<ChangeCounts> CountsOf(TextView text) {
  if (text.size() <= kCountsLine || text.substr(0, kChangesPrefix.size()) != kChangesPrefix) return std::nullopt;
  if (text[kCountsLine] != u'\r' && text[kCountsLine] != u'\n') return std::nullopt;
  const size_t rewrites = kChangesPrefix.size() + kCountDigits;
  if (text.substr(rewrites, kRewritesPrefix.size()) != kRewritesPrefix) return std::nullopt;
  auto changes = Digits(text.substr(kChangesPrefix.size(), kCountDigits));
  auto rewritten = Digits(text.substr(rewrites + kRewritesPrefix.size(), kCountDigits));
  if (!changes || !rewritten) return std::nullopt;
  return ChangeCounts{*changes, *rewritten};
}

Text CountDigits(uint64_t count) {
  Text digits(kCountDigits, u'0');
  for (size_t i = kCountDigits; i-- > 0; count /= 10) digits[i] = static_cast<char16_t>(u'0' + count % 10);
  return digits;
}

// The counts as the line shows them, after the prefix ";changes=".
Text CountsText(const ChangeCounts& counts) {
  Text text = CountDigits(counts.changes);
  text.append(kRewritesPrefix).append(CountDigits(counts.rewrites));
  return text;
}

// A decimal number of at most 16 digits: a counter, which grows a digit at a time.
bool IsCounter(TextView value) { return !value.empty() && value.size() <= kCountDigits && Digits(value).has_value(); }

Text Join(TextView a, TextView b, TextView c = {}) {
  Text out;
  out.reserve(a.size() + b.size() + c.size());
  out.append(a).append(b).append(c);
  return out;
}

}  // namespace

std::optional<ChangeCounts> ChangeCountsOfHead(std::string_view head) {
  if (head.substr(0, 2) != ini::kUtf16LeBom) return std::nullopt;
  return CountsOf(ini::FromUtf16Le(head.substr(2, 2 * (kCountsLine + 1))));
}

struct IniFile::Edit {
  size_t block = kNone;  // the section's first block, or kNone for a new section
  size_t key = kNone;    // the key within it, or kNone for a new key
  TextView section;
  TextView key_name;
  TextView encoded;
};

// The storage's lock for one call, unless Hold() holds it already.
class IniFile::Locked {
 public:
  Locked(IniFile& file, bool create) : file_(file) {
    if (!file_.held_) file_.storage_->Lock(create, IniStorage::Scope::kContent);
  }
  ~Locked() {
    if (!file_.held_) file_.Unlocked();
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  IniFile& file_;
};

IniFile::IniFile(std::unique_ptr<IniStorage> storage) : storage_(std::move(storage)) {}
IniFile::~IniFile() { Release(); }

void IniFile::Hold() {
  if (held_) return;
  storage_->Lock(/*create=*/true, IniStorage::Scope::kWithReportCounter);
  held_ = true;
}

void IniFile::Release() noexcept {
  if (!held_) return;
  held_ = false;
  Unlocked();
}

void IniFile::Unlocked() noexcept {
  storage_->Unlock();
  // A file system may give the file its last write time only when it is closed: the stamp
  // of what we wrote is the one it has now.
  if (std::exchange(wrote_, false) && loaded_) {
    try {
      stamp_ = storage_->Stamp();
    } catch (...) {
      loaded_ = false;
    }
  }
}

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
  counts_ = native_ ? CountsOf(doc_.text()) : std::nullopt;
  stamp_ = stamp;
  loaded_ = true;
}

// Whether the image is still the file's content. Without the lock this is as of the
// moment of the look: a change that starts later has not bumped the count yet.
bool IniFile::Fresh() {
  if (!loaded_) return false;
  if (!(storage_->Stamp() == stamp_)) return false;  // also notices a replaced file
  return ChangeCountsOfHead(storage_->Head(kChangeCountsHeadBytes)) == counts_;
}

void IniFile::Refresh(bool locked) {
  if (Fresh()) return;
  loaded_ = false;
  if (locked) {
    Load();
  } else {
    Locked lock(*this, /*create=*/false);
    Load();
  }
}

void IniFile::BumpChanges(bool rewrite) {
  counts_->changes += 1;
  if (rewrite) counts_->rewrites += 1;
  WriteChars(kChangesPrefix.size(), rewrite ? CountsText(*counts_) : CountDigits(counts_->changes));
}

Text IniFile::Get(TextView section, TextView key) {
  Refresh(held_);
  size_t block = doc_.FindSection(section);
  if (block == kNone) return {};
  size_t k = doc_.FindKey(block, key);
  return k == kNone ? Text() : doc_.ValueOf(doc_.blocks()[block].keys[k]);
}

std::vector<Text> IniFile::Keys(TextView section) {
  Refresh(held_);
  std::vector<Text> names;
  size_t block = doc_.FindSection(section);
  if (block == kNone) return names;
  for (const auto& key : doc_.blocks()[block].keys) names.push_back(key.name);
  return names;
}

void IniFile::Set(TextView section, TextView key, TextView value) {
  Text encoded = ini::EncodeValue(value);
  Locked lock(*this, /*create=*/true);
  try {
    Refresh(true);
    size_t block = doc_.FindSection(section);
    size_t k = block == kNone ? kNone : doc_.FindKey(block, key);
    if (k != kNone && doc_.ValueOf(doc_.blocks()[block].keys[k]) == value) return;
    Edit edit{block, k, section, key, encoded};
    // A new counter gets room to grow, as a rebuild gives it.
    Text key_line = Join(key, u"=", encoded);
    if (IsCounter(encoded)) key_line.append(FieldRoom(encoded.size()) - encoded.size(), u' ');
    enum class How { kRewrite, kAppendSection, kAppendKey, kInPlace } how = How::kRewrite;
    size_t value_pos = kNone;
    Text field;
    if (native_ && counts_) {
      if (block == kNone) {
        how = How::kAppendSection;
      } else if (k == kNone) {
        if (doc_.IsLastBlock(block)) how = How::kAppendKey;
      } else {
        const ini::KeyEntry& entry = doc_.blocks()[block].keys[k];
        value_pos = doc_.ValueStart(entry.line);
        if (value_pos != kNone) {
          const ini::Line& line = doc_.lines()[entry.line];
          TextView region = TextView(doc_.text()).substr(value_pos, line.start + line.length - value_pos);
          // The new value and blanks over what is left of the old one; the blanks after it stay.
          size_t used = region.find_last_not_of(u' ') + 1;  // npos + 1 == 0
          size_t n = std::max(encoded.size(), used);
          if (encoded.size() <= region.size() && IsWholeWrite(ByteOffset(value_pos), 2 * n)) {
            field = Join(encoded, Blanks(n - encoded.size()));
            how = How::kInPlace;
          }
        }
      }
    }
    wrote_ = true;
    // Also before a rebuild: its redo record then begins with the file's own first line,
    // which tells a record that stands for this file (ini_storage.h, Replace()).
    if (native_ && counts_) BumpChanges(how == How::kRewrite || (how == How::kInPlace && doc_.IsLastBlock(block)));
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
      case How::kInPlace:
        WriteChars(value_pos, field);
        doc_.Overwrite(value_pos, field);
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
  // One character, two bytes at an even offset: a whole write, it lands or it does not.
  WriteChars(pos, TextView(&c, 1));
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
  // The key line goes in with ';' for its first character until the flip.
  size_t key_pos = end + dead.size();
  dead.append(u";").append(key_line.substr(1)).append(kBreak);
  live.append(key_line).append(kBreak);
  // Nothing lies past the end, so a torn append leaves whole characters and at most half
  // of one, which DecodeFile drops: a low byte of CR or LF never meets a high byte of
  // zero. What lands is commented out until the flips.
  WriteChars(end, dead);
  if (header) WriteToggle(header_pos, u'[');
  WriteToggle(key_pos, key_line.front());
  doc_.Append(live);
}

void IniFile::Rewrite(const Edit& edit) {
  const auto& blocks = doc_.blocks();
  const bool new_key = edit.block != kNone && edit.key == kNone;
  const bool move = new_key && !doc_.IsLastBlock(edit.block) && !blocks[edit.block].has_later_twin;
  // The count line goes, also one of an older form.
  const size_t old_counts_line =
      !doc_.lines().empty() && doc_.Content(0).substr(0, kChangesPrefix.size()) == kChangesPrefix ? 0 : kNone;
  const ChangeCounts counts = counts_ ? *counts_ : ChangeCounts{1, 1};  // bumped already (Set)
  Text out;
  out.reserve(doc_.text().size() + doc_.lines().size() + 2 * edit.encoded.size() + kWholeWriteBytes);
  auto put = [&](TextView line) { out.append(line).append(kBreak); };
  // A key as a field: its value, then blanks to grow into. Blanks after the line above
  // keep the field inside one block of whole writes.
  auto put_field = [&](TextView name_part, TextView encoded) {
    const size_t room = FieldRoom(encoded.size());
    const size_t value_pos = out.size() + name_part.size() + 1;
    size_t pad = 0;
    while (room > encoded.size() && !IsWholeWrite(ByteOffset(value_pos + pad), 2 * room)) ++pad;
    out.insert(out.size() - kBreak.size(), Blanks(pad));
    put(Join(Join(name_part, u"="), encoded, Blanks(room - encoded.size())));
  };
  // A new key; a counter gets room to grow.
  auto put_key = [&](TextView name, TextView encoded) {
    if (IsCounter(encoded))
      put_field(name, encoded);
    else
      put(Join(name, u"=", encoded));
  };
  // A line as it is, but a counter without room to grow gets it: its next digit goes in
  // place.
  auto put_line = [&](size_t b, size_t i) {
    const size_t value_pos = b == 0 || doc_.lines()[i].kind != ini::LineKind::kKey ? kNone : doc_.ValueStart(i);
    if (value_pos != kNone) {
      const ini::Line& line = doc_.lines()[i];
      const TextView region = TextView(doc_.text()).substr(value_pos, line.start + line.length - value_pos);
      const TextView value = region.substr(0, region.find_last_not_of(u' ') + 1);
      if (IsCounter(value) && region.size() < FieldRoom(value.size()))
        return put_field(TextView(doc_.text()).substr(line.start, value_pos - 1 - line.start), value);
    }
    put(doc_.Content(i));
  };
  put(Join(kChangesPrefix, CountsText(counts)));
  auto put_block = [&](size_t b) {
    const size_t begin = doc_.BlockBegin(b), end = blocks[b].end;
    const ini::KeyEntry* key = b == edit.block && edit.key != kNone ? &blocks[b].keys[edit.key] : nullptr;
    size_t insert_after = kNone;  // a new key goes after the block's last non-blank line
    if (b == edit.block && !key) {
      insert_after = begin;
      for (size_t i = begin; i < end; ++i)
        if (doc_.lines()[i].kind != ini::LineKind::kBlank) insert_after = i;
    }
    for (size_t i = begin; i < end; ++i) {
      if (i == old_counts_line) continue;
      if (key && i == key->line)
        put_field(key->name, edit.encoded);
      else
        put_line(b, i);
      if (i == insert_after) put_key(edit.key_name, edit.encoded);
    }
  };
  for (size_t b = 0; b < blocks.size(); ++b)
    if (!(move && b == edit.block)) put_block(b);
  if (move) put_block(edit.block);
  if (edit.block == kNone) {
    put(Join(u"[", edit.section, u"]"));
    put_key(edit.key_name, edit.encoded);
  }
  std::string bytes(ini::kUtf16LeBom);
  bytes += ini::ToUtf16Le(out);
  storage_->Replace(bytes);
  doc_.Assign(std::move(out));
  native_ = true;
  counts_ = counts;
}

}  // namespace tolvex
