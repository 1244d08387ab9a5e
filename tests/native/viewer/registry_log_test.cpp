// The registry log's values as report entries: in the order they were logged, without
// the last-key value, each with its co-extra.
#include <gtest/gtest.h>

#include "viewer/registry_log.h"

using common::Text;
using viewer::NamedText;

namespace {

TEST(RegistryLog, EntriesInTheOrderLoggedWithTheirCoExtras) {
  // As the registry may hand them over: any order, any letter case.
  const std::vector<NamedText> report = {
      {u"AAAC", u"2. (dll)  > b"}, {u"DebuggerAKS", u"AAAAB"}, {u"AAAAB", u"5. (dll)  > e"},
      {u"aaad", u"3. (dll)  > c"}, {u"ZZZZ", u"4. (dll)  > d"},  {u"AAAB", u"1. (dll)  > a"},
      {u"debuggeraks", u"AAAAB"}};
  const std::vector<NamedText> co = {{u"AAAD", u"third's"}, {u"aaab", u"first's"}, {u"ABCD", u"no such entry"}};
  const struct {
    const char16_t* key;
    const char16_t* line;
    const char16_t* co_extra;
  } expected[] = {{u"AAAB", u"1. (dll)  > a", u"first's"}, {u"AAAC", u"2. (dll)  > b", u""},
                  {u"aaad", u"3. (dll)  > c", u"third's"}, {u"ZZZZ", u"4. (dll)  > d", u""},
                  {u"AAAAB", u"5. (dll)  > e", u""}};  // after ZZZZ the keys gain a letter
  const std::vector<viewer::ReportEntry> entries = viewer::RegistryLogEntries(report, co);
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].key, expected[i].key) << i;
    EXPECT_EQ(entries[i].value, expected[i].line) << i;
    EXPECT_EQ(entries[i].co_extra, expected[i].co_extra) << i;
  }

  // Listed in ten columns: the key in the ID column, the line's fields, the co-extra.
  viewer::ReportList list(nullptr, viewer::kRegistryLogColumnCount);
  EXPECT_EQ(list.Append(entries), 5u);
  const Text first[] = {u"AAAB", u"1. (dll)", u"a", u"", u"", u"", u"", u"", u"", u"first's"};
  for (int c = 0; c < viewer::kRegistryLogColumnCount; ++c) EXPECT_EQ(list.Cell(0, c), first[c]) << c;
  EXPECT_TRUE(viewer::RegistryLogEntries({}, co).empty());
}

}  // namespace
