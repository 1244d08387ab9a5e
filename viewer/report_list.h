#pragma once
// The rows of the report viewer (frmVELKDebuggerA, list lvDebugInfo): the reload
// from the report file through the INI file handler, the nine columns, and the
// ascending text sort by a clicked column. The window shows these rows through a
// virtual list, so a reload of many entries costs no list-control work per row.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/text.h"
#include "outside/helper_components.h"

namespace component {
struct ReportSource;
}  // namespace component

namespace viewer {

using common::Text;
using common::TextView;

inline constexpr int kReportColumnCount = 9;

struct ReportColumn {
  const char16_t* header;
  int width_twips;
};
// Headers and widths by position: "ID" shows the entry's key, the other eight show
// fields 1 to 8 of its stored line.
inline constexpr std::array<ReportColumn, kReportColumnCount> kReportColumns = {{
    {u"ID", 750},
    {u"Product", 1875},
    {u"Application", 3000},
    {u"Ver", 450},
    {u"Module", 1875},
    {u"Procedure", 2625},
    {u"Extra1", 1500},
    {u"Extra2", 1500},
    {u"Now", 2100},
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

  explicit ReportList(const TextCollation* collation = nullptr);

  // LoadDebugInfoInwindow: removes every row, then adds one per entry of the section
  // "DebuggerAReport" whose trimmed value is not empty. A failure stops the reload and
  // is raised; the rows added before it stay (in sort order while sorting is on).
  void Reload(outside::IniFileHandler& ini, const Text& report_file_path, const TextOf& text_of);
  void Clear();

  // A header click: sorting on, by `column` (0 is "ID"), ascending. Stays on through
  // reloads and Clear.
  void SortBy(int column);
  bool sorted() const { return sorted_; }
  int sort_column() const { return sort_column_; }

  size_t size() const { return rows_.size(); }
  // By position in the list as shown (sorted when sorting is on).
  TextView Cell(size_t position, int column) const;
  Text RowKey(size_t position) const;  // "key" followed by the entry's position number
  // The rows at `positions` as text: cells separated by tabs, rows ended by CR LF.
  Text CopyText(std::span<const size_t> positions) const;

  // A stable identity of the row at a position, and the position of a row (to keep
  // the selection on the same rows when the order changes).
  uint32_t RowIdAt(size_t position) const { return order_[position]; }
  size_t PositionOfRow(uint32_t row_id) const;

 private:
  struct Row {
    uint32_t entry;                                  // n of the row key
    Text text;                                       // the nine cells, one after another
    std::array<uint32_t, kReportColumnCount + 1> bounds;  // cell k is text[bounds[k], bounds[k+1])
  };
  void AddRow(uint32_t entry, TextView key, TextView value);
  void ApplyOrder();

  const TextCollation* collation_;
  std::vector<Row> rows_;         // in the order read
  std::vector<uint32_t> order_;   // row index at each position
  mutable std::vector<uint32_t> position_of_;  // inverse of order_, built on demand
  mutable bool positions_valid_ = false;
  bool sorted_ = false;
  int sort_column_ = 0;
};

// The reload on the component's shared INI file handler and report file path.
void LoadDebugInfoInwindow(ReportList& list, const component::ReportSource& source);

}  // namespace viewer
