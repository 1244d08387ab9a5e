// The rows' compact storage: every cell reads back exactly, whatever its characters and
// length, in lists of nine columns and of ten (the registry log's co-extra).
#include <gtest/gtest.h>

#include "viewer/report_list.h"

using common::Text;
using viewer::ReportEntry;
using viewer::ReportList;
using Texts = std::vector<Text>;

namespace {

Texts Row(const ReportList& list, size_t position) {
  Texts cells;
  for (int c = 0; c < list.column_count(); ++c) cells.push_back(list.Cell(position, c));
  return cells;
}

TEST(RowStorage, CellsReadBackExactly) {
  const Text lone_surrogate(1, u'\xD800'), long_cell(200, u'L'), longer_cell(20000, u'M');
  const Text pair = u"\U0001F600";
  const struct {
    ReportEntry entry;
    Texts nine;  // ID and fields 1 to 8
  } cases[] = {
      {{u"0", u"a > b", u"co"}, {u"0", u"a", u"b", u"", u"", u"", u"", u"", u""}},
      {{u"1", u"Άλφα > ωμέγα", u"Ω"}, {u"1", u"Άλφα", u"ωμέγα", u"", u"", u"", u"", u"", u""}},  // past U+00FF
      {{u"2", u"ÿ > Ä"}, {u"2", u"ÿ", u"Ä", u"", u"", u"", u"", u"", u""}},                     // up to U+00FF
      {{u"3", lone_surrogate + u"x > " + pair}, {u"3", lone_surrogate + u"x", pair, u"", u"", u"", u"", u"", u""}},
      {{u"4", long_cell + u" > " + longer_cell + u" > z"},
       {u"4", long_cell, longer_cell, u"z", u"", u"", u"", u"", u""}},  // lengths of two and three bytes
      {{u"5", u"a >  > c > d > e > f > g > h > i"}, {u"5", u"a", u"", u"c", u"d", u"e", u"f", u"g", u"h"}},
      {{u"6", Text(u"nul\0inside", 10)}, {u"6", Text(u"nul\0inside", 10), u"", u"", u"", u"", u"", u"", u""}},
  };
  for (int columns : {viewer::kReportColumnCount, viewer::kRegistryLogColumnCount}) {
    ReportList list(nullptr, columns);
    std::vector<ReportEntry> entries;
    for (const auto& c : cases) entries.push_back(c.entry);
    ASSERT_EQ(list.Append(entries), std::size(cases));
    ASSERT_EQ(list.column_count(), columns);
    for (size_t i = 0; i < std::size(cases); ++i) {
      Texts expected = cases[i].nine;
      if (columns == viewer::kRegistryLogColumnCount) expected.push_back(cases[i].entry.co_extra);
      EXPECT_EQ(Row(list, i), expected) << i << " of " << columns;
    }
  }
}

// The tenth column sorts, filters and copies like the others.
TEST(RowStorage, CoExtraIsAColumnLikeTheOthers) {
  ReportList list(nullptr, viewer::kRegistryLogColumnCount);
  const ReportEntry entries[] = {{u"AAAB", u"1. (dll) > x", u"zeta"}, {u"AAAC", u"2. (dll) > y", u"Äther"},
                                 {u"AAAD", u"3. (dll) > z"}};
  list.Append(entries);
  list.SortBy(9);
  EXPECT_EQ(list.Cell(0, 0), u"AAAD");  // no co-extra: first
  EXPECT_EQ(list.Cell(1, 9), u"zeta");  // in code unit order: "Ä" after "z"
  list.SetFilter(u"äTHER");
  ASSERT_EQ(list.size(), 1u);
  const size_t first[] = {0};
  EXPECT_EQ(list.CopyText(first), u"AAAC\t2. (dll)\ty\t\t\t\t\t\t\tÄther\r\n");
  EXPECT_THROW(list.SortBy(10), common::AutomationError);
  EXPECT_THROW(ReportList(nullptr, 11), std::invalid_argument);
}

}  // namespace
