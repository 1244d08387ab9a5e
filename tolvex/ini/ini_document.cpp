#include "tolvex/ini/ini_document.h"

namespace tolvex::ini {

void IniDocument::Assign(Text text) {
  text_ = std::move(text);
  lines_.clear();
  blocks_.clear();
  section_index_.clear();
  blocks_.emplace_back();
  ParseFrom(0);
}

void IniDocument::Append(TextView more) {
  if (more.empty()) return;
  size_t pos = text_.size();
  if (!lines_.empty()) {
    Line& last = lines_.back();
    bool open = last.term == 0;
    bool lone_cr = last.term == 1 && text_[last.start + last.length] == u'\r';
    if (open && (more.front() == u'\r' || more.front() == u'\n')) {
      // The break ends the open last line; its content stays as it was.
      size_t n = (more.size() > 1 && more[0] == u'\r' && more[1] == u'\n') ? 2 : 1;
      text_.append(more);
      last.term = static_cast<uint8_t>(n);
      ParseFrom(pos + n);
      return;
    }
    if (open || (lone_cr && more.front() == u'\n')) {
      Text whole = text_;
      whole.append(more);
      Assign(std::move(whole));
      return;
    }
  }
  text_.append(more);
  ParseFrom(pos);
}

void IniDocument::ParseFrom(size_t pos) {
  const size_t n = text_.size();
  while (pos < n) {
    size_t end = pos;
    while (end < n && text_[end] != u'\r' && text_[end] != u'\n') ++end;
    uint8_t term = 0;
    if (end < n) term = (text_[end] == u'\r' && end + 1 < n && text_[end + 1] == u'\n') ? 2 : 1;
    AddLine(pos, end - pos, term);
    pos = end + term;
  }
}

void IniDocument::AddLine(size_t start, size_t length, uint8_t term) {
  const size_t index = lines_.size();
  Line line{start, length, term, LineKind::kBlank, lines_.empty() ? 0u : lines_.back().block};
  TextView content = TextView(text_).substr(start, length);
  size_t lead = 0;
  while (lead < content.size() && IsIniSpace(content[lead])) ++lead;
  TextView t = content.substr(lead);

  TextView key_name;
  if (t.empty()) {
    line.kind = LineKind::kBlank;
  } else if (t.front() == u';') {
    line.kind = LineKind::kComment;
  } else if (size_t close = t.front() == u'[' ? t.rfind(u']') : TextView::npos; close != TextView::npos) {
    line.kind = LineKind::kSection;
    line.block = static_cast<uint32_t>(blocks_.size());
    SectionBlock block;
    block.name = Text(t.substr(1, close - 1));
    block.header = index;
    auto [it, inserted] = section_index_.emplace(FoldName(block.name), blocks_.size());
    if (!inserted) {
      block.shadowed = true;
      blocks_[it->second].has_later_twin = true;
    }
    blocks_.push_back(std::move(block));
  } else {
    // A '[' line without ']' is not a header; like any other line it reads as a key.
    size_t eq = t.find(u'=');
    key_name = TrimIniSpace(eq == TextView::npos ? t : t.substr(0, eq));
    line.kind = key_name.empty() ? LineKind::kOther : LineKind::kKey;
  }
  lines_.push_back(line);
  blocks_[line.block].end = index + 1;
  if (line.kind == LineKind::kKey) AddKey(index, key_name);
}

void IniDocument::AddKey(size_t line, TextView name) {
  SectionBlock& block = blocks_[lines_[line].block];
  // A repeat of a name is ignored, as profile readers do: the first one counts.
  if (block.index.emplace(FoldName(name), block.keys.size()).second) block.keys.push_back({Text(name), line});
}

size_t IniDocument::FindSection(TextView name) const {
  auto it = section_index_.find(FoldName(name));
  return it == section_index_.end() ? kNone : it->second;
}

size_t IniDocument::FindKey(size_t block, TextView name) const {
  const auto& index = blocks_[block].index;
  auto it = index.find(FoldName(name));
  return it == index.end() ? kNone : it->second;
}

size_t IniDocument::ValueStart(size_t line) const {
  size_t eq = Content(line).find(u'=');
  return eq == TextView::npos ? kNone : lines_[line].start + eq + 1;
}

Text IniDocument::ValueOf(const KeyEntry& key) const {
  size_t start = ValueStart(key.line);
  if (start == kNone) return {};
  const Line& line = lines_[key.line];
  return DecodeValue(TextView(text_).substr(start, line.start + line.length - start));
}

}  // namespace tolvex::ini
