#include "viewer/report_list.h"

#include <algorithm>
#include <numeric>

#include "component/platform.h"
#include "settings/catalog.h"

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
}  // namespace

ReportList::ReportList(const TextCollation* collation) : collation_(collation ? collation : &kDefaultCollation) {}

void ReportList::Clear() {
  rows_.clear();
  order_.clear();
  positions_valid_ = false;
}

void ReportList::AddRow(uint32_t entry, TextView key, TextView value) {
  Row row;
  row.entry = entry;
  row.text.reserve(key.size() + value.size());
  row.bounds[0] = 0;
  row.text += key;
  row.bounds[1] = static_cast<uint32_t>(row.text.size());
  // Fields 1 to 8, each trimmed; a shorter line leaves the rest of its cells empty,
  // and fields after the eighth are not shown.
  size_t start = 0;
  bool more = true;
  for (int column = 1; column < kReportColumnCount; ++column) {
    if (more) {
      size_t mark = value.find(u'>', start);
      size_t end = mark == TextView::npos ? value.size() : mark;
      row.text += TrimBlanks(value.substr(start, end - start));
      more = mark != TextView::npos;
      start = mark + 1;
    }
    row.bounds[column + 1] = static_cast<uint32_t>(row.text.size());
  }
  rows_.push_back(std::move(row));
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
      for (int64_t n = 1; n <= upper; ++n) {
        if (n < lower) throw common::AutomationError(9, u"Subscript out of range");
        ini.SetKey(Value(Text(TrimBlanks(array->items[static_cast<size_t>(n - lower)]))));
        Text value = text_of(ini.GetValue());
        TextView trimmed = TrimBlanks(value);
        if (trimmed.empty()) continue;
        Text key = text_of(ini.Key());
        AddRow(static_cast<uint32_t>(n), TrimBlanks(key), trimmed);
      }
    }
  } catch (...) {
    ApplyOrder();
    throw;
  }
  ApplyOrder();
}

void ReportList::SortBy(int column) {
  if (column < 0 || column >= kReportColumnCount)
    throw common::AutomationError(common::error_number::kInvalidArgument, u"Invalid procedure call or argument");
  sorted_ = true;
  sort_column_ = column;
  ApplyOrder();
}

void ReportList::ApplyOrder() {
  order_.resize(rows_.size());
  std::iota(order_.begin(), order_.end(), 0u);
  positions_valid_ = false;
  if (!sorted_ || rows_.size() < 2) return;
  std::vector<std::string> keys(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    uint32_t begin = row.bounds[sort_column_], end = row.bounds[sort_column_ + 1];
    keys[i] = collation_->SortKey(TextView(row.text).substr(begin, end - begin));
  }
  // Equal texts keep the order in which they were read.
  std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
}

TextView ReportList::Cell(size_t position, int column) const {
  const Row& row = rows_[order_[position]];
  uint32_t begin = row.bounds[column], end = row.bounds[column + 1];
  return TextView(row.text).substr(begin, end - begin);
}

Text ReportList::RowKey(size_t position) const { return u"key" + common::IntegerText(rows_[order_[position]].entry); }

Text ReportList::CopyText(std::span<const size_t> positions) const {
  Text out;
  for (size_t position : positions) {
    for (int column = 0; column < kReportColumnCount; ++column) {
      if (column) out += u'\t';
      out += Cell(position, column);
    }
    out += u"\r\n";
  }
  return out;
}

size_t ReportList::PositionOfRow(uint32_t row_id) const {
  if (!positions_valid_) {
    position_of_.assign(order_.size(), 0);
    for (size_t p = 0; p < order_.size(); ++p) position_of_[order_[p]] = static_cast<uint32_t>(p);
    positions_valid_ = true;
  }
  return position_of_[row_id];
}

void LoadDebugInfoInwindow(ReportList& list, const component::ReportSource& source) {
  outside::IniFileHandler ini(source.ini_handler);
  list.Reload(ini, source.report_file_path, [&](const Value& value) { return source.format.TextOf(value); });
}

}  // namespace viewer
