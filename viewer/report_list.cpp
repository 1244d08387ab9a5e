#include "viewer/report_list.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <stdexcept>

#include "component/platform.h"
#include "settings/catalog.h"
#include "tolvex/ini/ini_text.h"
#include "viewer/text_search.h"

namespace viewer {

using outside::Value;

TextView TrimBlanks(TextView text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.substr(begin, end - begin);
}

std::string OrdinalIgnoreCaseCollation::SortKey(TextView text) const {
  std::string key;
  key.reserve(text.size() * 2);
  for (char16_t c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - (u'a' - u'A'));
    key.push_back(static_cast<char>(c >> 8));  // big-endian: byte order is code unit order
    key.push_back(static_cast<char>(c & 0xFF));
  }
  return key;
}

namespace {
const OrdinalIgnoreCaseCollation kDefaultCollation;

// The report file numbers its keys 0, 1, 2...: the value of a key of decimal digits
// (up to 18 of them), else -1.
int64_t WholeNumber(TextView key) {
  if (key.empty() || key.size() > 18) return -1;
  int64_t number = 0;
  for (char16_t c : key) {
    if (c < u'0' || c > u'9') return -1;
    number = number * 10 + (c - u'0');
  }
  return number;
}
}  // namespace

ReportList::ReportList(const TextCollation* collation, int columns)
    : collation_(collation ? collation : &kDefaultCollation), columns_(columns) {
  if (columns < kReportColumnCount || columns > kMaxColumnCount)
    throw std::invalid_argument("report viewer: no such column count");
}

void ReportList::Clear() {
  // Gives the memory back: a reload of a smaller file should not keep the larger one's.
  std::vector<std::unique_ptr<Row[]>>().swap(row_chunks_);
  row_count_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>>().swap(blocks_);
  std::vector<uint32_t>().swap(order_);
  std::vector<uint32_t>().swap(shown_);
  std::vector<uint32_t>().swap(position_of_);
  block_free_ = 0;
  block_bytes_ = 0;
  std::vector<uint64_t>().swap(numbers_read_);
  std::unordered_set<Text>().swap(other_keys_read_);
  positions_valid_ = false;
}

uint8_t* ReportList::Allocate(size_t bytes, uint32_t& start) {
  if (bytes > block_free_) {
    // A row never spans two blocks; one longer than a block gets a block of its own.
    if (blocks_.size() >= (size_t{1} << (32 - kOffsetBits))) throw std::length_error("report viewer: too much text");
    const size_t size = std::max(bytes, kBlockBytes);
    blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(size));
    block_bytes_ += size;
    block_free_ = bytes > kBlockBytes ? 0 : kBlockBytes;
    if (bytes > kBlockBytes) {
      start = static_cast<uint32_t>((blocks_.size() - 1) << kOffsetBits);
      return blocks_.back().get();
    }
  }
  const size_t offset = kBlockBytes - block_free_;
  block_free_ -= bytes;
  start = static_cast<uint32_t>(((blocks_.size() - 1) << kOffsetBits) | offset);
  return blocks_.back().get() + offset;
}

namespace {

size_t LengthBytes(size_t length) {
  size_t bytes = 1;
  while (length >= 0x80) length >>= 7, ++bytes;
  return bytes;
}

// A row's header: the flags, then the cells' lengths; gives where the code units start.
const uint8_t* ReadHeader(const uint8_t* bytes, int columns, bool& wide, std::array<size_t, kMaxColumnCount>& lengths) {
  wide = *bytes++ & 1;
  for (int column = 0; column < columns; ++column) {
    size_t length = 0;
    for (int shift = 0;; shift += 7) {
      const uint8_t byte = *bytes++;
      length |= static_cast<size_t>(byte & 0x7F) << shift;
      if (!(byte & 0x80)) break;
    }
    lengths[column] = length;
  }
  return bytes;
}

void Widen(const uint8_t* units, bool wide, size_t from, size_t count, char16_t* out) {
  if (wide) {
    for (size_t i = 0; i < count; ++i)
      out[i] = static_cast<char16_t>(units[2 * (from + i)] | units[2 * (from + i) + 1] << 8);
  } else {
    for (size_t i = 0; i < count; ++i) out[i] = units[from + i];
  }
}

}  // namespace

void ReportList::AddRow(TextView key, TextView value, TextView co_extra) {
  // The key, then fields 1 to 8, each trimmed; a shorter line leaves the rest of its
  // cells empty, and fields after the eighth are not shown.
  CellViews cells{};
  cells[0] = key;
  size_t start = 0;
  bool more = true;
  for (int column = 1; column < kReportColumnCount && more; ++column) {
    size_t mark = value.find(u'>', start);
    size_t end = mark == TextView::npos ? value.size() : mark;
    cells[column] = TrimBlanks(value.substr(start, end - start));
    more = mark != TextView::npos;
    start = mark + 1;
  }
  if (columns_ > kReportColumnCount) cells[kReportColumnCount] = TrimBlanks(co_extra);
  size_t length = 0, header = 1;
  bool wide = false;
  for (int column = 0; column < columns_; ++column) {
    length += cells[column].size();
    header += LengthBytes(cells[column].size());
    for (char16_t c : cells[column]) wide |= c > 0xFF;
  }
  if (length > UINT32_MAX) throw std::length_error("report viewer: entry too long");
  Row row;
  uint8_t* out = Allocate(header + length * (wide ? 2 : 1), row.start);
  *out++ = wide ? kWide : 0;
  for (int column = 0; column < columns_; ++column) {
    size_t size = cells[column].size();
    for (; size >= 0x80; size >>= 7) *out++ = static_cast<uint8_t>(size | 0x80);
    *out++ = static_cast<uint8_t>(size);
  }
  for (int column = 0; column < columns_; ++column) {
    for (char16_t c : cells[column]) {
      *out++ = static_cast<uint8_t>(c & 0xFF);
      if (wide) *out++ = static_cast<uint8_t>(c >> 8);
    }
  }
  if ((row_count_ & (kRowChunk - 1)) == 0) {
    // Records go in chunks too: growing never copies them, and a reload's records come
    // to about their own size.
    if (row_count_ >= UINT32_MAX) throw std::length_error("report viewer: too many rows");
    row_chunks_.push_back(std::make_unique_for_overwrite<Row[]>(kRowChunk));
  }
  row_chunks_.back()[row_count_ & (kRowChunk - 1)] = row;
  ++row_count_;
}

bool ReportList::TakeKey(TextView key) {
  constexpr int64_t kNumberBits = int64_t{1} << 26;  // up to 8 MB of bits
  const int64_t number = WholeNumber(key);
  if (number >= 0 && number < kNumberBits && (key.size() == 1 || key[0] != u'0')) {
    const auto word = static_cast<size_t>(number / 64);
    if (word >= numbers_read_.size()) numbers_read_.resize(word + 1);
    const uint64_t bit = uint64_t{1} << (number % 64);
    if (numbers_read_[word] & bit) return false;
    numbers_read_[word] |= bit;
    return true;
  }
  return other_keys_read_.insert(tolvex::ini::FoldName(key)).second;
}

TextView ReportList::CellOf(uint32_t id, int column, Text& scratch) const {
  const Row& row = RowOf(id);
  bool wide;
  std::array<size_t, kMaxColumnCount> lengths;
  const uint8_t* units = ReadHeader(blocks_[row.start >> kOffsetBits].get() + (row.start & (kBlockBytes - 1)), columns_,
                                    wide, lengths);
  size_t begin = 0;
  for (int c = 0; c < column; ++c) begin += lengths[c];
  scratch.resize(lengths[column]);
  Widen(units, wide, begin, lengths[column], scratch.data());
  return scratch;
}

void ReportList::CellsOf(uint32_t id, Text& scratch, CellViews& cells) const {
  const Row& row = RowOf(id);
  bool wide;
  std::array<size_t, kMaxColumnCount> lengths;
  const uint8_t* units = ReadHeader(blocks_[row.start >> kOffsetBits].get() + (row.start & (kBlockBytes - 1)), columns_,
                                    wide, lengths);
  size_t total = 0;
  for (int c = 0; c < columns_; ++c) total += lengths[c];
  scratch.resize(total);
  Widen(units, wide, 0, total, scratch.data());
  const TextView all(scratch);
  size_t at = 0;
  for (int c = 0; c < columns_; ++c) {
    cells[c] = all.substr(at, lengths[c]);
    at += lengths[c];
  }
}

Text ReportList::Cell(size_t position, int column) const {
  Text cell;
  CellOf(shown()[position], column, cell);
  return cell;
}

std::string ReportList::SortKeyOf(uint32_t row, Text& scratch) const {
  return collation_->SortKey(CellOf(row, sort_column_, scratch));
}

void ReportList::Reload(outside::IniFileHandler& ini, const Text& report_file_path, const TextOf& text_of) {
  Clear();
  try {
    ini.SetPath(report_file_path);
    ini.SetSection(settings::catalog::kSectionReport);
    Value names;
    int32_t count = ini.EnumerateCurrentSection(names);
    if (count != 0) {
      const Value::TextArray* array = names.AsTextArray();
      if (!array) throw common::AutomationError(common::error_number::kTypeMismatch, u"Type mismatch");
      // Positions 1 to the upper bound; a position 0 is not read.
      const int64_t lower = array->lower_bound;
      const int64_t upper = lower + static_cast<int64_t>(array->items.size()) - 1;
      if (upper > 0) row_chunks_.reserve(static_cast<size_t>(upper) / kRowChunk + 1);
      for (int64_t n = 1; n <= upper; ++n) {
        if (n < lower) throw common::AutomationError(9, u"Subscript out of range");
        ini.SetKey(Value(Text(TrimBlanks(array->items[static_cast<size_t>(n - lower)]))));
        Text value = text_of(ini.GetValue());
        TextView trimmed = TrimBlanks(value);
        if (trimmed.empty()) continue;
        Text key = text_of(ini.Key());
        if (TakeKey(TrimBlanks(key))) AddRow(TrimBlanks(key), trimmed, {});
      }
    }
  } catch (...) {
    ApplyOrder();
    throw;
  }
  ApplyOrder();
}

void ReportList::SortBy(int column) {
  if (column < 0 || column >= columns_)
    throw common::AutomationError(common::error_number::kInvalidArgument, u"Invalid procedure call or argument");
  sorted_ = true;
  sort_column_ = column;
  ApplyOrder();
}

void ReportList::ApplyOrder() {
  order_.resize(row_count_);
  std::iota(order_.begin(), order_.end(), 0u);
  if (sorted_ && row_count_ >= 2) {
    // Each row's key once, all in one buffer.
    std::string keys;
    std::vector<size_t> starts(row_count_ + 1);
    Text scratch;
    for (uint32_t i = 0; i < row_count_; ++i) {
      starts[i] = keys.size();
      keys += SortKeyOf(i, scratch);
    }
    starts[row_count_] = keys.size();
    auto key = [&](uint32_t i) { return std::string_view(keys).substr(starts[i], starts[i + 1] - starts[i]); };
    // Equal texts keep the order in which they were read.
    std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
  }
  ApplyFilter();
}

bool ReportList::Passes(uint32_t row, const TextMatcher& matcher, Text& scratch) const {
  CellViews cells;
  CellsOf(row, scratch, cells);
  for (int column = 0; column < columns_; ++column)
    if (matcher.In(cells[column])) return true;
  return false;
}

void ReportList::ApplyFilter() {
  positions_valid_ = false;
  if (filter_.empty()) {
    std::vector<uint32_t>().swap(shown_);
    return;
  }
  const TextMatcher matcher(filter_, false, false);
  shown_.clear();
  Text scratch;
  for (uint32_t row : order_)
    if (Passes(row, matcher, scratch)) shown_.push_back(row);
  shown_.shrink_to_fit();
}

void ReportList::SetFilter(TextView text) {
  filter_ = Text(text);
  ApplyFilter();
}

void ReportList::AddEntry(const ReportEntry& entry) {
  TextView key = TrimBlanks(entry.key);
  if (!TakeKey(key)) return;
  TextView value = TrimBlanks(entry.value);
  if (!value.empty()) AddRow(key, value, entry.co_extra);
}

void ReportList::Reload(const std::function<void(const Add&)>& read) {
  Clear();
  try {
    read([this](std::vector<ReportEntry>&& entries) {
      for (const ReportEntry& entry : entries) AddEntry(entry);
    });
  } catch (...) {
    ApplyOrder();
    throw;
  }
  ApplyOrder();
}

size_t ReportList::Append(std::span<const ReportEntry> entries) {
  const size_t first_new = row_count_;
  for (const ReportEntry& entry : entries) AddEntry(entry);
  std::vector<uint32_t> added(row_count_ - first_new);
  std::iota(added.begin(), added.end(), static_cast<uint32_t>(first_new));
  if (added.empty()) return 0;
  positions_valid_ = false;
  std::vector<uint32_t> added_shown;
  Text scratch;
  if (!filter_.empty()) {
    const TextMatcher matcher(filter_, false, false);
    std::copy_if(added.begin(), added.end(), std::back_inserter(added_shown),
                 [&](uint32_t row) { return Passes(row, matcher, scratch); });
  }
  if (!sorted_) {
    order_.insert(order_.end(), added.begin(), added.end());
    shown_.insert(shown_.end(), added_shown.begin(), added_shown.end());
  } else {
    // The new rows in their own order first (equal texts in the order read), then each
    // one's place found by bisection with the keys of only the rows it is compared with.
    std::vector<std::string> keys(added.size());
    for (size_t i = 0; i < added.size(); ++i) keys[i] = SortKeyOf(added[i], scratch);
    auto key_of = [&](uint32_t row) -> const std::string& { return keys[row - first_new]; };
    auto by_key = [&](uint32_t a, uint32_t b) { return key_of(a) < key_of(b); };
    std::stable_sort(added.begin(), added.end(), by_key);
    std::stable_sort(added_shown.begin(), added_shown.end(), by_key);
    auto splice = [&](std::vector<uint32_t>& order, const std::vector<uint32_t>& rows) {
      if (rows.empty()) return;
      const size_t old_size = order.size();
      std::vector<size_t> places(rows.size());
      size_t low = 0;
      for (size_t i = 0; i < rows.size(); ++i) {
        size_t high = old_size;
        while (low < high) {  // the first row whose text sorts after the new one
          size_t mid = low + (high - low) / 2;
          if (key_of(rows[i]) < SortKeyOf(order[mid], scratch)) high = mid; else low = mid + 1;
        }
        places[i] = low;
      }
      // One pass from the back: each old row moves up by the new rows placed before it.
      order.resize(old_size + rows.size());
      size_t from = old_size, to = order.size();
      for (size_t i = rows.size(); i-- > 0;) {
        while (from > places[i]) order[--to] = order[--from];
        order[--to] = rows[i];
      }
    };
    splice(order_, added);
    splice(shown_, added_shown);
  }
  return filter_.empty() ? added.size() : added_shown.size();
}

size_t ReportList::Find(TextView what, size_t from, const FindOptions& options) const {
  const std::vector<uint32_t>& order = shown();
  const size_t n = order.size();
  if (what.empty() || n == 0) return kNotFound;
  const TextMatcher matcher(what, options.match_case, options.whole_word);
  Text scratch;
  // Without a start, the first row tried is the first (last) one: start just before it.
  size_t at = from < n ? from : (options.down ? n - 1 : 0);
  for (size_t tried = 0; tried < n; ++tried) {
    at = options.down ? (at + 1 == n ? 0 : at + 1) : (at == 0 ? n - 1 : at - 1);
    if (Passes(order[at], matcher, scratch)) return at;
  }
  return kNotFound;
}

Text ReportList::CopyText(std::span<const size_t> positions) const {
  Text out, scratch;
  CellViews cells;
  for (size_t position : positions) {
    CellsOf(shown()[position], scratch, cells);
    for (int column = 0; column < columns_; ++column) {
      if (column) out += u'\t';
      out += cells[column];
    }
    out += u"\r\n";
  }
  return out;
}

size_t ReportList::PositionOfRow(uint32_t row_id) const {
  if (!positions_valid_) {
    const std::vector<uint32_t>& order = shown();
    position_of_.assign(row_count_, UINT32_MAX);
    for (size_t p = 0; p < order.size(); ++p) position_of_[order[p]] = static_cast<uint32_t>(p);
    positions_valid_ = true;
  }
  const uint32_t position = position_of_[row_id];
  return position == UINT32_MAX ? kNotFound : position;
}

size_t ReportList::MemoryBytes() const {
  return sizeof(*this) + row_chunks_.size() * kRowChunk * sizeof(Row) + row_chunks_.capacity() * sizeof(row_chunks_[0]) +
         blocks_.capacity() * sizeof(blocks_[0]) + block_bytes_ +
         (order_.capacity() + shown_.capacity() + position_of_.capacity()) * sizeof(uint32_t) +
         filter_.capacity() * sizeof(char16_t) + numbers_read_.capacity() * sizeof(uint64_t);
}

void LoadDebugInfoInwindow(ReportList& list, const component::ReportSource& source) {
  outside::IniFileHandler ini(source.ini_handler);
  list.Reload(ini, source.report_file_path, [&](const Value& value) { return source.format.TextOf(value); });
}

}  // namespace viewer
