#pragma once
// The rows of the report viewer (frmVELKDebuggerA, list lvDebugInfo): the reload
// from the report file through the INI file handler, the nine columns, the
// ascending text sort by a clicked column, the filter, Find, and rows added while
// the report file grows. The window shows these rows through a virtual list, so a
// reload of many entries costs no list-control work per row.
//
// A report file may hold a million entries, so a row costs no heap block of its own:
// the texts of all rows live in large shared blocks, one byte a character where the row
// holds no character past U+00FF (as report lines mostly do), and a row is a record of
// four bytes.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/text.h"
#include "outside/helper_components.h"

namespace component {
struct ReportSource;
}  // namespace component

namespace viewer {

using common::Text;
using common::TextView;

class TextMatcher;

// The report file's nine columns; the registry log's ten, its tenth "Co-extra".
inline constexpr int kReportColumnCount = 9;
inline constexpr int kRegistryLogColumnCount = 10;
inline constexpr int kMaxColumnCount = 10;
inline constexpr size_t kNotFound = static_cast<size_t>(-1);

// One "key=value" of the report section, as read (ReportList::Append trims it); in the
// registry log, one value of DebuggerAReport with its DebuggerAReportCo value.
struct ReportEntry {
  Text key;
  Text value;
  Text co_extra = {};  // the tenth cell, in a list of ten columns
};

struct FindOptions {
  bool match_case = false;
  bool whole_word = false;
  bool down = true;
};

struct ReportColumn {
  const char16_t* header;
  int width_twips;
};
// Headers and widths by position: "ID" shows the entry's key, the next eight show
// fields 1 to 8 of its stored line, "Co-extra" (the registry log's only) its co-extra.
inline constexpr std::array<ReportColumn, kMaxColumnCount> kReportColumns = {{
    {u"ID", 750},
    {u"Product", 1875},
    {u"Application", 3000},
    {u"Ver", 450},
    {u"Module", 1875},
    {u"Procedure", 2625},
    {u"Extra1", 1500},
    {u"Extra2", 1500},
    {u"Now", 2100},
    {u"Co-extra", 1500},
}};

// Removes leading and trailing U+0020 only; tabs and other white space stay.
TextView TrimBlanks(TextView text);

// The order in which texts sort: SortKey gives a byte string whose plain byte order
// is the text order. The default compares UTF-16 code units with ASCII letters folded
// to upper case; the Windows shell uses the user's locale.
class TextCollation {
 public:
  virtual ~TextCollation() = default;
  virtual std::string SortKey(TextView text) const = 0;
};
class OrdinalIgnoreCaseCollation : public TextCollation {
 public:
  std::string SortKey(TextView text) const override;
};

class ReportList {
 public:
  // Turns a value read from the handler into its text.
  using TextOf = std::function<Text(const outside::Value&)>;

  // `columns`: kReportColumnCount, or kRegistryLogColumnCount for rows with a co-extra.
  explicit ReportList(const TextCollation* collation = nullptr, int columns = kReportColumnCount);
  int column_count() const { return columns_; }

  // LoadDebugInfoInwindow: removes every row, then adds one per entry of the section
  // "DebuggerAReport" whose trimmed value is not empty. A failure stops the reload and
  // is raised; the rows added before it stay (in sort order while sorting is on).
  void Reload(outside::IniFileHandler& ini, const Text& report_file_path, const TextOf& text_of);
  // The same from entries read straight from the report file: removes every row, then
  // `read` hands the entries over in batches through the Add it gets, each taken as
  // Append takes one (so of two entries with one key the first counts, as the handler
  // reads them). Sorted once at the end; a failure is raised with the rows read before
  // it kept.
  using Add = std::function<void(std::vector<ReportEntry>&&)>;
  void Reload(const std::function<void(const Add&)>& read);
  void Clear();

  // A header click: sorting on, by `column` (0 is "ID"), ascending. Stays on through
  // reloads and Clear.
  void SortBy(int column);
  bool sorted() const { return sorted_; }
  int sort_column() const { return sort_column_; }

  // Rows shown (those that pass the filter), and rows held.
  size_t size() const { return shown().size(); }
  size_t total() const { return row_count_; }

  // Shows only the rows of which some cell contains `text`, letter case aside (as
  // FoldCase folds it). Empty text shows every row. Stays on through reloads, sorts
  // and appends.
  void SetFilter(TextView text);
  const Text& filter() const { return filter_; }

  // Rows for entries read after the last reload, each made as the reload makes one;
  // the position numbers go on from the last one used. An entry whose key was read
  // already is skipped (of two entries with one key the first counts). New
  // rows take their place in the sort order (after equal texts). Returns the number
  // of new rows shown.
  size_t Append(std::span<const ReportEntry> entries);

  // The next shown row after `from` (before it when searching up) with a cell that
  // contains `what`, going round past the end so that `from` itself comes last;
  // kNotFound starts at the first (last) row. kNotFound when nothing matches.
  size_t Find(TextView what, size_t from, const FindOptions& options) const;

  // By position in the list as shown (sorted when sorting is on). The second form puts
  // the text into `scratch` and views it there: no allocation once `scratch` is large.
  Text Cell(size_t position, int column) const;
  TextView Cell(size_t position, int column, Text& scratch) const { return CellOf(shown()[position], column, scratch); }
  // The rows at `positions` as text: cells separated by tabs, rows ended by CR LF.
  Text CopyText(std::span<const size_t> positions) const;

  // A stable identity of the row at a position, and the position of a row (to keep
  // the selection on the same rows when the order changes); kNotFound for a row that
  // the filter hides.
  uint32_t RowIdAt(size_t position) const { return shown()[position]; }
  size_t PositionOfRow(uint32_t row_id) const;

  // Bytes held by the rows, their texts and orders (capacity, not just use).
  size_t MemoryBytes() const;

 private:
  // A row's bytes start at `start`: the block in the high bits, the offset within it in
  // the low kOffsetBits. They are a flags byte (kWide: two bytes a code unit, low byte
  // first; else one, every unit below U+0100), the length of each cell in code units (7
  // bits a byte, low bits first, the high bit set on all but the last byte), then the
  // cells' code units one after another.
  struct Row {
    uint32_t start;
  };
  using CellViews = std::array<TextView, kMaxColumnCount>;
  static constexpr uint32_t kOffsetBits = 20;
  static constexpr size_t kBlockBytes = size_t{1} << kOffsetBits;
  static constexpr uint8_t kWide = 1;
  static constexpr size_t kRowChunk = size_t{1} << 16;

  const Row& RowOf(uint32_t id) const { return row_chunks_[id / kRowChunk][id % kRowChunk]; }

  const std::vector<uint32_t>& shown() const { return filter_.empty() ? order_ : shown_; }
  TextView CellOf(uint32_t row, int column, Text& scratch) const;
  // Every cell of a row, viewed in `scratch`.
  void CellsOf(uint32_t row, Text& scratch, CellViews& cells) const;
  std::string SortKeyOf(uint32_t row, Text& scratch) const;
  bool Passes(uint32_t row, const TextMatcher& matcher, Text& scratch) const;
  uint8_t* Allocate(size_t bytes, uint32_t& start);
  void AddRow(TextView key, TextView value, TextView co_extra);
  void AddEntry(const ReportEntry& entry);
  // False when the key was read already; holds it from now on.
  bool TakeKey(TextView key);
  void ApplyOrder();
  void ApplyFilter();

  const TextCollation* collation_;
  std::vector<std::unique_ptr<Row[]>> row_chunks_;          // kRowChunk records each, in the order read
  size_t row_count_ = 0;
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;          // the rows' bytes
  size_t block_free_ = 0;                                   // bytes left in the last block
  size_t block_bytes_ = 0;                                  // bytes of all blocks
  int columns_;
  std::vector<uint32_t> order_;   // every row, sorted when sorting is on
  std::vector<uint32_t> shown_;   // the rows of order_ that pass the filter (when there is one)
  Text filter_;
  // The keys read: whole numbers in plain decimal as bits, any other key by its folded
  // text, as the INI file handler compares names.
  std::vector<uint64_t> numbers_read_;
  std::unordered_set<Text> other_keys_read_;
  mutable std::vector<uint32_t> position_of_;  // inverse of shown(), built on demand
  mutable bool positions_valid_ = false;
  bool sorted_ = false;
  int sort_column_ = 0;
};

// The reload on the component's shared INI file handler and report file path.
void LoadDebugInfoInwindow(ReportList& list, const component::ReportSource& source);

}  // namespace viewer
