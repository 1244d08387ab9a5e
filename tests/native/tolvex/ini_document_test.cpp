// Parsing INI text the way the platform's profile functions read it.
#include <gtest/gtest.h>

#include "ini_test_util.h"
#include "tolvex/ini/ini_document.h"

namespace tolvex::testing {
namespace {

using namespace ini;

// "section/key=value" for every key readers can reach, in file order.
std::vector<std::string> Visible(const IniDocument& doc) {
  std::vector<std::string> out;
  for (const auto& block : doc.blocks()) {
    if (block.header == kNone || block.shadowed) continue;
    for (const auto& key : block.keys) out.push_back(U8(block.name + u"/" + key.name + u"=" + doc.ValueOf(key)));
  }
  return out;
}

IniDocument Parse(std::string_view utf8) {
  IniDocument doc;
  doc.Assign(T(utf8));
  return doc;
}

TEST(IniParsing, AnyLineBreakEndsALineAndBlankLinesAndCommentsAreSkipped) {
  for (std::string_view text : {"[A]\r\nk=1\r\n\r\n; note\r\n[B]\r\nk=2\r\n", "[A]\nk=1\n\n; note\n[B]\nk=2",
                                "[A]\rk=1\r\r; note\r[B]\rk=2\r", "[A]\r\nk=1\n\r; note\r[B]\nk=2"}) {
    IniDocument doc = Parse(text);
    EXPECT_EQ(Visible(doc), (std::vector<std::string>{"A/k=1", "B/k=2"})) << text;
  }
}

TEST(IniParsing, WhiteSpaceAroundNamesAndValuesIsIgnoredButNotInsideSectionBrackets) {
  IniDocument doc = Parse("  [A]  \n  key one  =  value one  \n\tk2\t=\t\"  quoted  \"\n[ B ]\nk=1\n");
  EXPECT_EQ(Visible(doc), (std::vector<std::string>{"A/key one=value one", "A/k2=  quoted  ", " B /k=1"}));
  EXPECT_EQ(doc.FindSection(u"B"), kNone);
  EXPECT_NE(doc.FindSection(u" b "), kNone);
}

TEST(IniParsing, TheFirstOfRepeatedSectionsAndKeysCounts) {
  IniDocument doc = Parse("[A]\nk=first\nK=second\n[B]\nx=1\n[a]\nk=third\nonly=here\n");
  EXPECT_EQ(Visible(doc), (std::vector<std::string>{"A/k=first", "B/x=1"}));
  size_t a = doc.FindSection(u"a");
  ASSERT_EQ(a, 1u);
  EXPECT_TRUE(doc.blocks()[a].has_later_twin);
  EXPECT_EQ(doc.FindKey(a, u"only"), kNone);
}

TEST(IniParsing, OddLinesReadAsThePlatformReadsThem) {
  // Keys before any section belong to no section; a line without '=' is a key without a
  // value; "[x" without ']' is a key line; text after the last ']' is ignored.
  IniDocument doc = Parse("orphan=1\n[A] trailing\nflag\n[x=1\n=nameless\n[B]x]\nk=\"\n");
  EXPECT_EQ(Visible(doc), (std::vector<std::string>{"A/flag=", "A/[x=1", "B]x/k=\""}));
  EXPECT_EQ(doc.lines()[4].kind, LineKind::kOther);
}

TEST(IniParsing, AppendedTextIsParsedAsIfTheWholeTextWereNew) {
  const char* pieces[][2] = {
      {"[A]\r\nk=1", "\r\nj=2\r\n"},   // an open last line ended by the appended break
      {"[A]\r\nk=1\r", "\nj=2\r\n"},   // a break split in two
      {"[A]\r\nk=1", "j=2\r\n"},       // text glued onto the open line
      {"[A]\r\n", "[B]\r\nk=1\r\n"},
      {"", "[A]\r\nk=1"},
  };
  for (auto& p : pieces) {
    IniDocument incremental = Parse(p[0]);
    incremental.Append(T(p[1]));
    IniDocument whole = Parse(std::string(p[0]) + p[1]);
    EXPECT_EQ(incremental.text(), whole.text());
    EXPECT_EQ(Visible(incremental), Visible(whole)) << p[0] << "|" << p[1];
    EXPECT_EQ(incremental.lines().size(), whole.lines().size());
  }
}

}  // namespace
}  // namespace tolvex::testing
