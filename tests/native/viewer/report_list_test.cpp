// The report viewer's rows: the reload through the INI file handler, sorting, the
// filter, Find, and rows appended as the report file grows.
#include <gtest/gtest.h>

#include "component/debugger_commands.h"
#include "fakes.h"
#include "settings/catalog.h"
#include "viewer/report_list.h"

using common::Text;
using outside::CallKind;
using outside::Value;
using viewer::ReportList;
using Texts = std::vector<Text>;

namespace {

// An INI file handler over one section in memory that records every call.
class RecordingHandler : public outside::AutomationObject {
 public:
  Texts names;               // handed out from `lower_bound` on
  int32_t lower_bound = 1;
  int32_t count = -1;        // -1: the number of names
  std::map<Text, Text> values;
  int fail_on_value_read = 0;  // that read of Value fails with error 70
  Texts calls;

  Value Invoke(common::TextView name, CallKind kind, std::span<Value> args) override {
    Text member(name);
    if (kind == CallKind::PropertyPut) {
      calls.push_back(member + u"=" + *args[0].AsText());
      if (member == u"Key") key_ = *args[0].AsText();
      return Value();
    }
    if (member == u"EnumerateCurrentSection") {
      calls.push_back(member);
      args[0] = Value(Value::TextArray{lower_bound, names});
      args[1] = Value::I4(count < 0 ? static_cast<int32_t>(names.size()) : count);
      return Value();
    }
    calls.push_back(member + u"?");
    if (member == u"Key") return Value(key_);
    if (++value_reads_ == fail_on_value_read) throw common::AutomationError(70, u"Permission denied");
    return Value(values.count(key_) ? values[key_] : Text());
  }

 private:
  Text key_;
  int value_reads_ = 0;
};

class ReportReload : public ::testing::Test {
 protected:
  void Entry(const Text& name, const Text& value) {
    handler->names.push_back(name);
    handler->values[Text(viewer::TrimBlanks(name))] = value;
  }
  void Reload() {
    outside::IniFileHandler ini(handler);
    list.Reload(ini, u"C:\\r.ini", [](const Value& v) { return *v.AsText(); });
  }
  Texts Column(int column) const {
    Texts cells;
    for (size_t i = 0; i < list.size(); ++i) cells.emplace_back(list.Cell(i, column));
    return cells;
  }
  Texts Row(size_t position) const {
    Texts cells;
    for (int c = 0; c < viewer::kReportColumnCount; ++c) cells.emplace_back(list.Cell(position, c));
    return cells;
  }

  std::shared_ptr<RecordingHandler> handler = std::make_shared<RecordingHandler>();
  ReportList list;
};

const Text kLine = u"7. (dll)  > Ledger > Ledger Desk > 3.2 > modStore > OpenStore > - > 12/8/2026 3:45:10 AM";

TEST_F(ReportReload, CallsOnTheHandlerInTheirOrder) {
  Entry(u" 0 ", kLine);
  Entry(u"1", u"   ");
  Reload();
  EXPECT_EQ(handler->calls, (Texts{u"Path=C:\\r.ini", u"Section=DebuggerAReport", u"EnumerateCurrentSection",
                                   u"Key=0", u"Value?", u"Key?",  // the name is trimmed before use
                                   u"Key=1", u"Value?"}));        // an empty value: Key is not read back
}

TEST_F(ReportReload, RowsFromEntries) {
  Entry(u"0", u"  " + kLine + u"  ");
  Entry(u"1", u"");                                                     // no row, a gap in the keys
  Entry(u"2", u"     ");                                                // no row
  Entry(u"3", u"1. (dll)  > APP > T > 1.0 > mod > a > b > c > d > e");  // ten fields: two not shown
  Entry(u"4", u"2. (dll)  > APPOBJNOTHING > mod > msg > - > 1/2/2026");  // six fields
  Entry(u"5", u"\tno marks");                                           // a tab is not trimmed
  Reload();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(Row(0), (Texts{u"0", u"7. (dll)", u"Ledger", u"Ledger Desk", u"3.2", u"modStore", u"OpenStore", u"-",
                           u"12/8/2026 3:45:10 AM"}));
  EXPECT_EQ(Row(1), (Texts{u"3", u"1. (dll)", u"APP", u"T", u"1.0", u"mod", u"a", u"b", u"c"}));
  EXPECT_EQ(Row(2), (Texts{u"4", u"2. (dll)", u"APPOBJNOTHING", u"mod", u"msg", u"-", u"1/2/2026", u"", u""}));
  EXPECT_EQ(Row(3), (Texts{u"5", u"\tno marks", u"", u"", u"", u"", u"", u"", u""}));
}

TEST_F(ReportReload, CountZeroStopsAndPositionZeroIsNotRead) {
  Entry(u"0", kLine);
  handler->count = 0;
  Reload();
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(handler->calls.size(), 3u);

  handler->count = -1;
  handler->lower_bound = 0;  // names(0) = "0" is skipped
  Entry(u"1", kLine);
  Reload();
  EXPECT_EQ(Column(0), Texts{u"1"});
}

TEST_F(ReportReload, AFailureKeepsTheRowsReadBeforeItInTheirOrder) {
  for (const char16_t* v : {u"b", u"a", u"c", u"d"}) Entry(Text(v) + u"-key", v);
  list.SortBy(1);
  handler->fail_on_value_read = 3;
  EXPECT_THROW(Reload(), common::AutomationError);
  EXPECT_EQ(Column(1), (Texts{u"a", u"b"}));
}

TEST_F(ReportReload, HeaderSortIsAscendingTextOrderAndStaysOnThroughReloads) {
  Entry(u"9", u"b > x");
  Entry(u"10", u"a > y");
  Entry(u"2", u"B > z");
  Reload();
  EXPECT_EQ(Column(0), (Texts{u"9", u"10", u"2"}));  // unsorted: the handler's order
  list.SortBy(0);
  EXPECT_EQ(Column(0), (Texts{u"10", u"2", u"9"}));  // as text: "10" before "9"
  list.SortBy(1);
  EXPECT_EQ(Column(1), (Texts{u"a", u"b", u"B"}));  // letter case aside; equal texts keep their order
  list.SortBy(1);
  EXPECT_EQ(Column(1), (Texts{u"a", u"b", u"B"}));  // a second click changes nothing

  Entry(u"1", u"A > w");
  Reload();
  EXPECT_EQ(Column(1), (Texts{u"a", u"A", u"b", u"B"}));
  EXPECT_EQ(list.Cell(0, 0), u"10");     // keys stay with their entries
  EXPECT_EQ(list.PositionOfRow(0), 2u);  // the row read first ("9", "b") is third now

  const size_t rows[] = {0, 2};
  EXPECT_EQ(list.CopyText(rows), u"10\ta\ty\t\t\t\t\t\t\r\n9\tb\tx\t\t\t\t\t\t\r\n");
  EXPECT_THROW(list.SortBy(9), common::AutomationError);
}

TEST_F(ReportReload, EqualTextsKeepTheirOrderAmongManyRows) {
  const Text product[] = {u"same", u"other", u"SAME"};  // letter case aside, two texts
  Texts others, sames;
  for (int i = 100; i < 220; ++i) {
    Text id = common::IntegerText(i);
    Entry(id, product[i % 3] + u" > " + id);
    (i % 3 == 1 ? others : sames).push_back(id);
  }
  Reload();
  Texts expected = others;
  expected.insert(expected.end(), sames.begin(), sames.end());
  list.SortBy(1);
  EXPECT_EQ(Column(0), expected);
  list.SortBy(2);  // all different: the order of the numbers
  list.SortBy(1);
  EXPECT_EQ(Column(0), expected);
}

TEST_F(ReportReload, FilterShowsRowsWithACellThatHoldsTheTextLetterCaseAside) {
  Entry(u"0", u"Ledger > Άλφα > Desk");
  Entry(u"1", u"Other > straße > y");
  Entry(u"2", u"ledger > STRASSE");
  Entry(u"3", u"Zeta > ÜBER > LEDGER");
  Reload();
  const struct {
    const char16_t* filter;
    Texts keys;
  } cases[] = {
      {u"LEDGER", {u"0", u"2", u"3"}},
      {u"άλφα", {u"0"}},               // Greek with its accent, small to capital
      {u"über", {u"3"}},               // Latin-1
      {u"STRAßE", {u"1"}},             // folding is per code unit: ß is no "SS"
      {u"3", {u"3"}},                  // the key column too
      {u"gerDe", {}},                  // a match never runs from one cell into the next
      {u"", {u"0", u"1", u"2", u"3"}},
  };
  for (const auto& c : cases) {
    list.SetFilter(c.filter);
    EXPECT_EQ(Column(0), c.keys) << common::ToUtf8(c.filter);
    EXPECT_EQ(list.total(), 4u);
  }

  list.SetFilter(u"D");  // stays on through sorting and reloads
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(list.PositionOfRow(1), viewer::kNotFound);  // "straße" is hidden
  EXPECT_EQ(list.PositionOfRow(3), 2u);
  list.SortBy(1);
  EXPECT_EQ(Column(1), (Texts{u"Ledger", u"ledger", u"Zeta"}));
  EXPECT_EQ(list.Cell(1, 0), u"2");
  Entry(u"4", u"Alpha");
  Entry(u"5", u"Bravo");
  Reload();
  EXPECT_EQ(list.filter(), u"D");
  EXPECT_EQ(Column(1), (Texts{u"Ledger", u"ledger", u"Zeta"}));
  EXPECT_EQ(list.total(), 6u);
  const size_t rows[] = {0};
  EXPECT_EQ(list.CopyText(rows), u"0\tLedger\tΆλφα\tDesk\t\t\t\t\t\r\n");
}

TEST_F(ReportReload, FindGoesRoundFromTheRowAfterTheStart) {
  Entry(u"0", u"alpha > Beta_x > gamma");
  Entry(u"1", u"ALPHABET > q");
  Entry(u"2", u"delta > alpha");
  Entry(u"3", u"omega > z");
  Reload();
  const size_t none = viewer::kNotFound;
  const struct {
    const char16_t* what;
    size_t from;
    viewer::FindOptions options;
    size_t found;
  } cases[] = {
      {u"alpha", none, {}, 0},
      {u"alpha", 0, {}, 1},
      {u"alpha", 2, {}, 0},                       // round past the end
      {u"alpha", none, {.down = false}, 2},
      {u"alpha", 0, {.down = false}, 2},          // round past the start
      {u"alpha", 2, {.down = false}, 1},
      {u"omega", 3, {}, 3},                       // the start itself comes last
      {u"ALPHA", 0, {.match_case = true}, 1},
      {u"Alpha", none, {.match_case = true}, none},
      {u"alpha", 0, {.whole_word = true}, 2},     // not in "ALPHABET"
      {u"beta", none, {.whole_word = true}, none}, // '_' belongs to the word
      {u"gamma", none, {.whole_word = true}, 0},  // a cell's end bounds the word
      {u"a > b", none, {}, none},                 // the marks are not in the cells
      {u"", none, {}, none},
  };
  for (const auto& c : cases)
    EXPECT_EQ(list.Find(c.what, c.from, c.options), c.found)
        << common::ToUtf8(c.what) << " from " << c.from << (c.options.down ? " down" : " up");
  list.SetFilter(u"alpha");  // positions among the rows shown
  EXPECT_EQ(list.Find(u"delta", none, {}), 2u);
  EXPECT_EQ(list.Find(u"omega", none, {}), none);
}

TEST_F(ReportReload, AppendedEntriesJoinInTheirPlace) {
  Entry(u"0", u"b > one");
  Entry(u"1", u"");  // no row, but position 2 is taken
  Entry(u"2", u"d > three");
  Reload();
  list.SortBy(1);
  const viewer::ReportEntry more[] = {{u" 2 ", u"x > read already"}, {u"3", u" b > four "}, {u"4", u"  "},
                                      {u"5", u"a > six"}, {u"note", u"c > seven"}, {u"3", u"z > again"}};
  EXPECT_EQ(list.Append(more), 3u);
  EXPECT_EQ(Column(0), (Texts{u"5", u"0", u"3", u"note", u"2"}));  // after the equal "b" read before
  EXPECT_EQ(Column(2), (Texts{u"six", u"one", u"four", u"seven", u"three"}));

  list.SetFilter(u"B");
  const viewer::ReportEntry filtered[] = {{u"9", u"b > nine"}, {u"10", u"c > ten"}};
  EXPECT_EQ(list.Append(filtered), 1u);
  EXPECT_EQ(Column(0), (Texts{u"0", u"3", u"9"}));
  EXPECT_EQ(list.total(), 7u);
  list.SetFilter(u"");
  EXPECT_EQ(Column(0), (Texts{u"5", u"0", u"3", u"9", u"note", u"10", u"2"}));
  EXPECT_EQ(list.PositionOfRow(6), 5u);  // "10", the row added last

  ReportList unsorted;  // read order: at the end
  unsorted.SetFilter(u"b");
  const viewer::ReportEntry four[] = {{u"7", u"b"}, {u"3", u"b"}, {u"8", u"a"}, {u"07", u"b"}, {u"7", u"b again"}};
  EXPECT_EQ(unsorted.Append(four), 3u);  // 3 after 7 and "07" are keys of their own; the second 7 is not
  EXPECT_EQ(unsorted.Cell(1, 0), u"3");
  unsorted.SetFilter(u"");
  EXPECT_EQ(unsorted.Cell(2, 0), u"8");
  EXPECT_EQ(unsorted.size(), 4u);
}

// Needles whose letters repeat ("oop" in "Loop", which a search that skips too far
// misses), whole words beyond Latin ("кот" is no word of "котик"), and many appended rows
// that all sort equal (they keep the order in which they were read).
TEST_F(ReportReload, RepeatedLettersWordsBeyondLatinAndEqualAppends) {
  Entry(u"0", u"Loop > x");
  Entry(u"1", u"котик > y");
  Entry(u"2", u"кот > z");
  Reload();
  const size_t none = viewer::kNotFound;
  list.SetFilter(u"oop");
  EXPECT_EQ(Column(0), Texts{u"0"});
  list.SetFilter(u"");
  EXPECT_EQ(list.Find(u"oop", none, {}), 0u);
  EXPECT_EQ(list.Find(u"LOOP", none, {.whole_word = true}), 0u);
  EXPECT_EQ(list.Find(u"КОТ", none, {.whole_word = true}), 2u);
  EXPECT_EQ(list.Find(u"кот", 2, {.whole_word = true}), 2u);  // round to itself, never "котик"

  ReportList sorted;
  sorted.SortBy(1);
  std::vector<viewer::ReportEntry> same;
  Texts keys;
  for (int i = 0; i < 40; ++i) {
    same.push_back({common::IntegerText(i), u"same > " + common::IntegerText(40 - i)});
    keys.push_back(common::IntegerText(i));
  }
  EXPECT_EQ(sorted.Append(same), 40u);
  Texts appended;
  for (size_t i = 0; i < sorted.size(); ++i) appended.emplace_back(sorted.Cell(i, 0));
  EXPECT_EQ(appended, keys);
}

TEST(ReportRows, LongEntriesKeepTheirCells) {
  // One too long for 16-bit cell ends, one longer than a text block, and short ones
  // around them that share blocks.
  const Text wide(70000, u'w'), huge((size_t{1} << 20) + 5, u'h');
  const viewer::ReportEntry entries[] = {{u"0", u"a > b"},
                                         {u"1", u"x > " + wide + u" > y"},
                                         {u"2", huge + u" > tail"},
                                         {u"3", u"c > d"}};
  ReportList list;
  ASSERT_EQ(list.Append(entries), 4u);
  EXPECT_EQ(list.Cell(0, 2), u"b");
  EXPECT_EQ(list.Cell(1, 1), u"x");
  EXPECT_EQ(list.Cell(1, 2), wide);
  EXPECT_EQ(list.Cell(1, 3), u"y");
  EXPECT_EQ(list.Cell(2, 1), huge);
  EXPECT_EQ(list.Cell(2, 2), u"tail");
  EXPECT_EQ(list.Cell(3, 0), u"3");
  EXPECT_EQ(list.Cell(3, 2), u"d");
  list.SetFilter(u"TAIL");
  EXPECT_EQ(list.Cell(0, 0), u"2");
}

// What the report-file sink wrote, read back with the real INI engine.
TEST(ReportReloadEndToEnd, ListsWhatTheSinkWrote) {
  fakes::FakePlatform fake;
  component::ModuleState state;
  namespace cat = settings::catalog;
  for (const char16_t* key : {cat::kDebuggerAEnabledLevel, cat::kDebuggerAEnabledDLL})
    fake.settings.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, u"1");
  component::Debugger debugger(state, fake.platform);
  state.debugger_shell = 1;
  auto add = [&](const Text& text, int16_t level) {
    Value extra;
    component::DebugMessage m{text, u"dll", u"modStore", level, &extra, nullptr};
    debugger.AddDebugMessage(m);
  };
  add(u"first", 1);
  add(u"rejected", 2);
  auto app = std::make_shared<fakes::ScriptedObject>();
  app->Property(u"ProductName", Value(Text(u"Ledger")))
      .Property(u"Title", Value(Text(u"Ledger Desk")))
      .Property(u"Major", Value(3.0))
      .Property(u"Minor", Value(2.0));
  debugger.SetAppObj(app);
  add(u"second", 1);

  ReportList list;
  const component::ReportSource source{state.ini_handler, state.report_file_path, fake.format};
  viewer::LoadDebugInfoInwindow(list, source);
  ASSERT_EQ(list.size(), 2u);
  const Text first[] = {u"0", u"1. (dll)", u"APPOBJNOTHING", u"modStore", u"first", u"-", u"12/8/2026 3:45:10 AM",
                        u"", u""};
  const Text second[] = {u"2", u"2. (dll)", u"Ledger", u"Ledger Desk", u"3.2", u"modStore", u"second", u"-",
                         u"12/8/2026 3:45:10 AM"};
  for (int c = 0; c < viewer::kReportColumnCount; ++c) {
    EXPECT_EQ(list.Cell(0, c), first[c]) << c;
    EXPECT_EQ(list.Cell(1, c), second[c]) << c;
  }
  state.report_file_path = u"C:\\support\\none.ini";  // no such file: an empty list, no error
  viewer::LoadDebugInfoInwindow(list, source);
  EXPECT_EQ(list.size(), 0u);
}

}  // namespace
