// Reading the report file while it grows: entries taken from complete lines only, and
// the comment lines that an append turns on later read again.
#include <gtest/gtest.h>

#include "tolvex/ini/ini_text.h"
#include "viewer/report_tail.h"

using common::Text;

namespace {

std::string File(const Text& text) { return std::string(tolvex::ini::kUtf16LeBom) + tolvex::ini::ToUtf16Le(text); }
std::string Cut(const std::string& bytes, size_t size) { return bytes.substr(0, size); }

const Text kHead = u"[DebuggerA]\r\nCounter=2      \r\n[DebuggerAReport]\r\n";

// Each case hands the reader the file as it stood at several moments (reading from
// consumed() each time, as the viewer does) and lists the entries it gave in all.
struct TailCase {
  const char* name;
  std::vector<std::string> moments;
  std::vector<Text> entries;  // "key=value"
  size_t start = 0;           // the reader's start offset and section
  Text section = {};
};

TEST(ReportTail, TakesCompleteLinesAndReadsTrailingCommentsAgain) {
  const std::string whole = File(kHead + u"0=a > b\r\n1=c > \U0001F600\r\n");
  const size_t pair = whole.size() - 6;  // between the two halves of the emoji's surrogate pair
  const TailCase cases[] = {
      {"lines split anywhere",
       {Cut(whole, 1), Cut(whole, 2), Cut(whole, 31), Cut(whole, pair - 1), Cut(whole, pair), Cut(whole, pair + 1),
        Cut(whole, whole.size() - 1), whole},
       {u"0=a > b", u"1=c > \U0001F600"}},
      {"an append turned on later",
       {File(kHead + u"0=a\r\n;=b\r\n;=c\r\n"), File(kHead + u"0=a\r\n1=b\r\n;=c\r\n"),
        File(kHead + u"0=a\r\n1=b\r\n2=c\r\n")},
       {u"0=a", u"1=b", u"2=c"}},
      {"a comment before an entry stays a comment",
       {File(kHead + u"0=a\r\n;1=old\r\n\r\n 1 = b \r\n"), File(kHead + u"0=a\r\n11=old\r\n\r\n 1 = b \r\n")},
       {u"0=a", u"1=b"}},
      {"other sections and lines that are no entries",
       {File(u"x=before\r\n[Other]\r\nk=v\r\n[ debuggerareport ]\r\n0=\" a \"\r\nno mark\r\n=v\r\n[DebuggerA]\r\n"
             u"Counter=1\r\n")},
       {u"0= a "}},
      {"a section header appended",
       {File(u"[DebuggerA]\r\nCounter=0\r\n;DebuggerAReport]\r\n;=a\r\n"),
        File(u"[DebuggerA]\r\nCounter=0\r\n[DebuggerAReport]\r\n;=a\r\n"),
        File(u"[DebuggerA]\r\nCounter=0\r\n[DebuggerAReport]\r\n0=a\r\n")},
       {u"0=a"}},
      {"a start inside the section",
       {whole},
       {u"0=a > b", u"1=c > \U0001F600"},
       File(kHead).size(),
       u"DebuggerAReport"},
  };
  for (const TailCase& c : cases) {
    viewer::ReportTail tail(c.start, c.section);
    std::vector<Text> entries;
    for (const std::string& moment : c.moments) {
      ASSERT_LE(tail.consumed(), moment.size()) << c.name;
      for (const viewer::ReportEntry& e : tail.Feed(std::string_view(moment).substr(tail.consumed())))
        entries.push_back(e.key + u"=" + e.value);
    }
    EXPECT_EQ(entries, c.entries) << c.name;
    EXPECT_EQ(tail.consumed(), c.moments.back().size()) << c.name;
  }
}

TEST(ReportTail, ConsumedStopsBeforeWhatMayStillChange) {
  const std::string head = File(kHead);
  const struct {
    Text more;
    size_t kept;  // bytes taken of `more`
  } cases[] = {
      {u"0=a", 0},                              // no line break yet
      {u"0=a\r\n;=b\r\n", 10},                  // the comment after it may be turned on
      {u";=b\r\n\r\n0=a\r\n", 24},              // a comment followed by an entry is read for good
      {u"0=a\r\n\r\n", 14},                     // blank lines are taken
      {u"0=a\r\n;=b\r\n\r\n", 10},              // but not after a comment still open
  };
  for (const auto& c : cases) {
    viewer::ReportTail tail;
    tail.Feed(head + tolvex::ini::ToUtf16Le(c.more));
    EXPECT_EQ(tail.consumed(), head.size() + c.kept) << common::ToUtf8(c.more);
  }
}

}  // namespace
