// The rows written as CSV and as tab-separated text, byte for byte.
#include <gtest/gtest.h>

#include "viewer/table_export.h"

using common::Text;
using viewer::ExportFormat;

namespace {

TEST(TableExport, FieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    Text field;
    std::string csv, tsv;
  } cases[] = {
      {u"plain text", "plain text", "plain text"},
      {u"", "", ""},
      {u"a,b", "\"a,b\"", "a,b"},
      {u"a\tb", "a\tb", "\"a\tb\""},
      {u"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
      {u"\"", "\"\"\"\"", "\"\"\"\""},
      {u"two\r\nlines", "\"two\r\nlines\"", "\"two\r\nlines\""},
      {u"line\n", "\"line\n\"", "\"line\n\""},
      {u"  blanks  ", "  blanks  ", "  blanks  "},
      {u"Grüße Ελλάδα 日本", "Gr\xC3\xBC\xC3\x9F" "e \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC",
       "Gr\xC3\xBC\xC3\x9F" "e \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC"},
      {u"\U0001F600", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {Text(1, u'\xDC00') + u"x" + Text(1, u'\xD800'), "\xEF\xBF\xBDx\xEF\xBF\xBD", "\xEF\xBF\xBDx\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    std::string csv, tsv;
    viewer::AppendField(csv, c.field, ExportFormat::kCsv);
    viewer::AppendField(tsv, c.field, ExportFormat::kTabSeparated);
    EXPECT_EQ(csv, c.csv) << common::ToUtf8(c.field);
    EXPECT_EQ(tsv, c.tsv) << common::ToUtf8(c.field);
  }
}

// What is shown goes out: through the filter, in the sorted order, every column, the
// headings first, in pieces that make up the whole.
TEST(TableExport, RowsAsShownWithTheirHeadings) {
  viewer::ReportList list(nullptr, viewer::kRegistryLogColumnCount);
  const viewer::ReportEntry entries[] = {{u"AAAB", u"1. (dll) > b > x", u"co, one"},
                                         {u"AAAC", u"2. (dll) > hidden"},
                                         {u"AAAD", u"3. (dll) > a > \"q\"\ttab"}};
  list.Append(entries);
  list.SortBy(2);
  list.SetFilter(u"x");
  std::string csv;
  viewer::ExportRows(list, ExportFormat::kCsv, [&](std::string_view piece) { csv += piece; });
  EXPECT_EQ(csv,
            "\xEF\xBB\xBFID,Product,Application,Ver,Module,Procedure,Extra1,Extra2,Now,Co-extra\r\n"
            "AAAB,1. (dll),b,x,,,,,,\"co, one\"\r\n");

  list.SetFilter(u"");
  std::string tsv;
  viewer::ExportRows(list, ExportFormat::kTabSeparated, [&](std::string_view piece) { tsv += piece; });
  EXPECT_EQ(tsv,
            "\xEF\xBB\xBFID\tProduct\tApplication\tVer\tModule\tProcedure\tExtra1\tExtra2\tNow\tCo-extra\r\n"
            "AAAD\t3. (dll)\ta\t\"\"\"q\"\"\ttab\"\t\t\t\t\t\t\r\n"
            "AAAB\t1. (dll)\tb\tx\t\t\t\t\t\tco, one\r\n"
            "AAAC\t2. (dll)\thidden\t\t\t\t\t\t\t\r\n");

  // Many rows: several pieces, nothing lost or doubled between them.
  viewer::ReportList many;
  std::vector<viewer::ReportEntry> more;
  for (int i = 0; i < 3000; ++i) more.push_back({common::IntegerText(i), u"p > " + Text(40, u'é')});
  many.Append(more);
  std::string all, row;
  int pieces = 0;
  viewer::ExportRows(many, ExportFormat::kCsv, [&](std::string_view piece) {
    all += piece;
    ++pieces;
  });
  for (int i = 0; i < 40; ++i) row += "\xC3\xA9";
  EXPECT_GT(pieces, 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3001);
  EXPECT_TRUE(all.ends_with("\r\n2999,p," + row + ",,,,,,\r\n"));
}

}  // namespace
