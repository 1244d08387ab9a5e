// AddDebugMessage end to end on the fake platform with the real INI engine.
#include <gtest/gtest.h>

#include "component/debug_message.h"
#include "component/error_report.h"

#include <algorithm>
#include "component/debugger_commands.h"
#include "component/report_key.h"
#include "fakes.h"
#include "settings/catalog.h"
#include "tolvex/ini/ini_handler.h"

using namespace component;
using common::Text;
using fakes::FakePlatform;
using fakes::ScriptedObject;
using outside::Value;
namespace cat = settings::catalog;

namespace {

TEST(NextReportKey, Sequence) {
  const std::pair<const char16_t*, const char16_t*> rows[] = {
      {u"AAAA", u"AAAB"}, {u"AAAY", u"AAAZ"}, {u"AAAZ", u"AABA"}, {u"AZZZ", u"BAAA"},  {u"ZZZZ", u"AAAAA"},
      {u"aaaz", u"aaba"}, {u"Az", u"Ba"},     {u"zzzz", u"AAAAA"}, {u"A9Z", u"B9A"},   {u"9Z", u"AAA"},
      {u"", u"A"},        {u"a-z", u"b-a"},   {u"Ä", u"AA"},       {u"AÄZ", u"BÄA"},   {u"zZ", u"AAA"},
  };
  for (auto [in, out] : rows) EXPECT_EQ(NextReportKey(in), out) << common::ToUtf8(in);
  Text key = u"AAAA";
  for (int i = 0; i < 26; ++i) key = NextReportKey(key);
  EXPECT_EQ(key, u"AABA");  // the 26th key after AAAA
}

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override { debugger_ = std::make_unique<Debugger>(state, fake.platform); }

  void Store(const char16_t* key, const char16_t* text) {
    fake.settings.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, text);
  }
  // Accept level 1 messages of every kind.
  void AcceptAll() {
    Store(cat::kDebuggerAEnabledLevel, u"1");
    Store(cat::kDebuggerAEnabledDLL, u"1");
    Store(cat::kDebuggerAEnabledOCX, u"1");
    Store(cat::kDebuggerAEnabledEXE, u"1");
  }
  void SwitchSinks(int32_t shell, int32_t window, int32_t registry) {
    state.debugger_shell = shell;
    state.debugger_window = window;
    state.debugger_registry = registry;
  }

  // Calls AddDebugMessage; returns the line it composed.
  Text Add(const Text& message, const Text& type = u"dll", int16_t level = 1, Value extra = Value(),
           Value co_extra = Value()) {
    last_extra = std::move(extra);
    DebugMessage m{message, type, u"modStore", level, &last_extra, &co_extra};
    Text line;
    RunTrapped(fake.boxes, u"AddDebugMessage", [&] {
      line = ComposeMessageLine(state, fake.platform, m);
      DeliverMessageLine(state, fake.platform, line, m.co_extra);
    });
    return line;
  }

  Text Report(const Text& section, const Text& key) {
    tolvex::MemoryIniStorageProvider provider(fake.disk);
    tolvex::IniHandler reader(provider);
    reader.SetPath(state.report_file_path);
    reader.SetSection(section);
    reader.SetKey(key);
    return reader.Value();
  }
  std::vector<Text> ReportKeys() {
    tolvex::MemoryIniStorageProvider provider(fake.disk);
    tolvex::IniHandler reader(provider);
    reader.SetPath(state.report_file_path);
    reader.SetSection(u"DebuggerAReport");
    return reader.EnumerateCurrentSection();
  }
  Text Logged(const Text& section, const Text& key) {
    return fake.settings.ReadSetting(cat::kSettingsApp, section, key, u"<none>");
  }

  FakePlatform fake;
  ModuleState state;
  Value last_extra;
  std::unique_ptr<Debugger> debugger_;
};

TEST_F(Pipeline, WorkedExampleToTheCharacter) {
  AcceptAll();
  state.message_counter = 6;
  Text line = Add(u"OpenStore", u"DLL");
  EXPECT_EQ(line, u"7. (dll)  > APPOBJNOTHING > modStore > OpenStore > - > 12/8/2026 3:45:10 AM");
  EXPECT_EQ(*last_extra.AsText(), u"-");

  auto app = std::make_shared<ScriptedObject>();
  app->Property(u"ProductName", Value(Text(u"Ledger")))
      .Property(u"Title", Value(Text(u"Ledger Desk")))
      .Property(u"Major", Value::I2(3))
      .Property(u"Minor", Value::I2(2));
  debugger_->SetAppObj(app);
  state.message_counter = 6;
  EXPECT_EQ(Add(u"OpenStore", u"DLL"),
            u"7. (dll)  > Ledger > Ledger Desk > 3.2 > modStore > OpenStore > - > 12/8/2026 3:45:10 AM");
  EXPECT_EQ(app->calls, (std::vector<Text>{u"ProductName", u"Title", u"Major", u"Minor"}));

  app->Property(u"Minor", Value::I2(10));
  EXPECT_NE(Add(u"x").find(u"> 3.10 >"), Text::npos);
  debugger_->SetAppObj(nullptr);
  EXPECT_NE(Add(u"x").find(u" > APPOBJNOTHING > "), Text::npos);
}

TEST_F(Pipeline, MidnightShowsTheDateAlone) {
  AcceptAll();
  fake.clock.serial = 46364.0;
  EXPECT_EQ(Add(u"m"), u"1. (dll)  > APPOBJNOTHING > modStore > m > - > 12/8/2026");
}

TEST_F(Pipeline, LevelFilterIsAnExactComparison) {
  Store(cat::kDebuggerAEnabledDLL, u"1");
  EXPECT_FALSE(Add(u"level 0, none stored", u"dll", 0).empty());
  Store(cat::kDebuggerAEnabledLevel, u"");
  EXPECT_FALSE(Add(u"level 0, empty stored", u"dll", 0).empty());
  Store(cat::kDebuggerAEnabledLevel, u"2");
  EXPECT_TRUE(Add(u"", u"dll", 1).empty());
  EXPECT_TRUE(Add(u"", u"dll", 3).empty());
  EXPECT_FALSE(Add(u"", u"dll", 2).empty());
  Store(cat::kDebuggerAEnabledLevel, u"1.5");  // the dialog shows 2, but nothing passes
  EXPECT_TRUE(Add(u"", u"dll", 2).empty());
  EXPECT_TRUE(Add(u"", u"dll", 1).empty());
  EXPECT_EQ(state.message_counter, 3);
}

TEST_F(Pipeline, KindFilter) {
  AcceptAll();
  for (const char16_t* type : {u"DLL", u"Dll", u"dll"}) EXPECT_NE(Add(u"m", type).find(u". (dll) "), Text::npos);
  EXPECT_NE(Add(u"m", u"OCX").find(u". (ocx) "), Text::npos);
  EXPECT_NE(Add(u"m", u"Exe").find(u". (exe) "), Text::npos);
  for (const char16_t* type : {u"dll ", u" dll", u"DLL32", u"", u"com"}) EXPECT_TRUE(Add(u"m", type).empty());

  Store(cat::kDebuggerAEnabledDLL, u"0");
  EXPECT_TRUE(Add(u"m", u"dll").empty());  // OCX and EXE on do not help a dll message
  Store(cat::kDebuggerAEnabledDLL, u"1.0");
  EXPECT_FALSE(Add(u"m", u"dll").empty());
  Store(cat::kDebuggerAEnabledDLL, u"0.6");  // checked in the dialog, but not exactly 1
  EXPECT_TRUE(Add(u"m", u"dll").empty());
}

TEST_F(Pipeline, EachKindAnswersToItsOwnSwitchOnly) {
  Store(cat::kDebuggerAEnabledLevel, u"1");
  const std::pair<const char16_t*, const char16_t*> kinds[] = {
      {u"dll", cat::kDebuggerAEnabledDLL}, {u"ocx", cat::kDebuggerAEnabledOCX}, {u"exe", cat::kDebuggerAEnabledEXE}};
  for (auto [on_type, on_setting] : kinds) {
    for (auto [type, setting] : kinds) Store(setting, type == on_type ? u"1" : u"0");
    for (auto [type, setting] : kinds) {
      Text line = Add(u"m", type);
      if (type == on_type)
        EXPECT_NE(line.find(u". (" + Text(type) + u")  > "), Text::npos) << common::ToUtf8(line);
      else
        EXPECT_TRUE(line.empty()) << common::ToUtf8(type) << " with only " << common::ToUtf8(on_type) << " on";
    }
  }
}

TEST_F(Pipeline, NothingStoredRejectsEverythingButStillDefaultsTheExtraText) {
  EXPECT_TRUE(Add(u"m", u"dll", 0).empty());
  EXPECT_TRUE(Add(u"m", u"exe", 1).empty());
  EXPECT_EQ(*last_extra.AsText(), u"-");
  EXPECT_EQ(state.message_counter, 0);
}

TEST_F(Pipeline, ExtraTextForms) {
  AcceptAll();
  EXPECT_NE(Add(u"m", u"dll", 1, Value(0.0)).find(u"> m > 0 > "), Text::npos);
  EXPECT_TRUE(last_extra.AsDouble());  // a number 0 is kept, not replaced by "-"
  EXPECT_NE(Add(u"m", u"dll", 1, Value(Text())).find(u"> m > - > "), Text::npos);
  EXPECT_EQ(*last_extra.AsText(), u"-");
  EXPECT_NE(Add(u"m", u"dll", 1, Value(Value::Null{})).find(u"> m >  > "), Text::npos);
  EXPECT_TRUE(last_extra.IsNull());
  EXPECT_NE(Add(u"m", u"dll", 1, Value(Value::Missing{})).find(u"> m > - > "), Text::npos);
  EXPECT_TRUE(last_extra.IsMissing());  // no caller variable to write into
}

TEST_F(Pipeline, ObjectsShareTheCounterAndRejectedMessagesTakeNoNumber) {
  AcceptAll();
  Debugger second(state, fake.platform);
  EXPECT_EQ(Add(u"a").substr(0, 3), u"1. ");
  EXPECT_TRUE(Add(u"b", u"dll", 2).empty());
  EXPECT_EQ(Add(u"c").substr(0, 3), u"2. ");
  state.message_counter = 32767;
  EXPECT_EQ(Add(u"d").substr(0, 7), u"32768. ");  // widens, never wraps
}

TEST_F(Pipeline, AnErrorShowsOneBoxAndStopsEverythingAfterIt) {
  AcceptAll();
  SwitchSinks(1, 1, 1);
  auto app = std::make_shared<ScriptedObject>();
  app->Property(u"ProductName", Value(Text(u"P"))).Property(u"Title", Value(Text(u"T")));
  debugger_->SetAppObj(app);  // no Major: the identity fails
  DebugMessage m{u"m", u"dll", u"n", 1, &last_extra, nullptr};
  AddDebugMessage(state, fake.platform, m);
  ASSERT_EQ(fake.boxes.shown.size(), 1u);
  EXPECT_EQ(fake.boxes.shown[0].title, u"438 -AddDebugMessage");
  EXPECT_EQ(fake.boxes.shown[0].style, 48u);
  EXPECT_EQ(state.message_counter, 0);
  EXPECT_FALSE(fake.disk.HasFile(state.report_file_path));
  EXPECT_TRUE(fake.windows.live_windows.empty());
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), u"<none>");
}

TEST_F(Pipeline, TheIdentityComesFirstAlsoForARejectedMessage) {
  SwitchSinks(1, 1, 1);  // nothing stored: the message would be rejected
  auto app = std::make_shared<ScriptedObject>();
  app->Property(u"ProductName", Value(Text(u"P")));  // no Title
  debugger_->SetAppObj(app);
  last_extra = Value();
  DebugMessage m{u"m", u"dll", u"n", 1, &last_extra, nullptr};
  AddDebugMessage(state, fake.platform, m);
  ASSERT_EQ(fake.boxes.shown.size(), 1u);
  EXPECT_EQ(fake.boxes.shown[0].title, u"438 -AddDebugMessage");
  EXPECT_TRUE(last_extra.IsEmpty());  // the error came before the "-" default
  EXPECT_EQ(fake.settings.writes(), 0u);
  EXPECT_FALSE(fake.disk.HasFile(state.report_file_path));
}

// Our own handler holds the report file's lock for each read-advance-write of the
// counter; another maker's handler is driven under the report counter's lock instead.
class ReportSink : public Pipeline, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(OwnOrOtherHandler, ReportSink, ::testing::Bool());

TEST_P(ReportSink, EntriesAndCounter) {
  const bool own_handler = GetParam();
  fake.ini_handlers.back()->private_side = own_handler;
  AcceptAll();
  SwitchSinks(1, 0, 0);
  Text first = Add(u"one");
  Add(u"rejected", u"dll", 2);
  Text second = Add(u"two");
  Text third = Add(u"three");
  EXPECT_EQ(ReportKeys(), (std::vector<Text>{u"0", u"1", u"2", u"3"}));
  EXPECT_EQ(Report(u"DebuggerAReport", u"0"), first);
  EXPECT_EQ(Report(u"DebuggerAReport", u"1"), u"");  // the rejected message keeps its entry
  EXPECT_EQ(Report(u"DebuggerAReport", u"2"), second);
  EXPECT_EQ(Report(u"DebuggerAReport", u"3"), third);
  EXPECT_EQ(Report(u"DebuggerA", u"Counter"), u"4");
  EXPECT_EQ(second.substr(0, 3), u"2. ");  // the message counter shows no gap
  EXPECT_EQ(fake.ini_handlers.back()->holds, own_handler ? 4 : 0);
  EXPECT_EQ(fake.locks.acquired, std::vector<Text>(own_handler ? 0 : 4, u"file:" + state.report_file_path));
  EXPECT_FALSE(fake.disk.IsLocked(state.report_file_path));
}

TEST_F(Pipeline, ReportFileContinuesFromTheStoredCounter) {
  AcceptAll();
  SwitchSinks(1, 0, 0);
  Add(u"one");
  {
    tolvex::MemoryIniStorageProvider provider(fake.disk);
    tolvex::IniHandler other(provider);  // another process moved the counter on
    other.SetPath(state.report_file_path);
    other.SetSection(u"DebuggerA");
    other.SetKey(u"Counter");
    other.SetValue(u"41");
  }
  Text line = Add(u"two");
  EXPECT_EQ(Report(u"DebuggerAReport", u"41"), line);
  EXPECT_EQ(Report(u"DebuggerA", u"Counter"), u"42");
}

TEST_F(Pipeline, AwkwardMessagesKeepTheReportFileWellFormed) {
  AcceptAll();
  SwitchSinks(1, 0, 1);
  const Text awkward[] = {
      u"multi\r\nline\rand\nmore",
      u"[DebuggerA]\r\nCounter=0",
      u"key=value; comment > [x]",
      u"Ελληνικά 中文 \U0001F600",
      Text(65536, u'z'),
  };
  std::vector<Text> lines;
  for (const Text& message : awkward) lines.push_back(Add(message));
  auto keys = ReportKeys();
  ASSERT_EQ(keys.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(Report(u"DebuggerAReport", keys[i]), lines[i]);
  EXPECT_EQ(Report(u"DebuggerA", u"Counter"), u"5");
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAB"), lines[0]);
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAF"), lines[4]);
}

TEST_F(Pipeline, NulBecomesABlankAndKeepsWhatFollows) {
  AcceptAll();
  SwitchSinks(1, 1, 1);
  Text line = Add(Text(u"before\0after", 12), u"dll", 1, Value(), Value(Text(u"co\0x", 4)));
  Text expected = line;
  std::replace(expected.begin(), expected.end(), u'\0', u' ');
  EXPECT_NE(expected.find(u"before after"), Text::npos);
  EXPECT_EQ(Report(u"DebuggerAReport", u"0"), expected);
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAB"), expected);
  EXPECT_EQ(Logged(cat::kSectionReportCo, u"AAAB"), u"co x");
  EXPECT_EQ(fake.windows.live_windows[0]->text, expected);
}

TEST_F(Pipeline, LiveWindowShowsTheLatestLineOnly) {
  AcceptAll();
  SwitchSinks(0, 1, 0);
  Add(u"first");
  Text second = Add(u"second");
  ASSERT_EQ(fake.windows.live_windows.size(), 1u);
  auto* window = fake.windows.live_windows[0];
  EXPECT_EQ(window->text, second);
  Add(u"rejected", u"dll", 2);
  EXPECT_EQ(window->text, u"");  // shown with an empty text
  window->visible = false;        // the user closed it
  Add(u"third");
  EXPECT_EQ(fake.windows.live_windows.size(), 1u);  // the same window, loaded again
  EXPECT_EQ(window->loads, 2);
}

TEST_F(Pipeline, RegistryLogKeysAndCoExtra) {
  AcceptAll();
  SwitchSinks(0, 0, 1);
  Text first = Add(u"one", u"dll", 1, Value(), Value(Text(u"co one")));
  Add(u"rejected", u"dll", 2, Value(), Value(Text(u"co rejected")));
  Text second = Add(u"two", u"dll", 1, Value(), Value(Text()));
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAB"), first);
  EXPECT_EQ(Logged(cat::kSectionReportCo, u"AAAB"), u"co one");
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAC"), second);
  EXPECT_EQ(Logged(cat::kSectionReportCo, u"AAAC"), u"<none>");
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), u"AAAC");
  EXPECT_EQ(fake.settings.Snapshot().size(), 4u + 4u);  // 4 filter settings + 2 lines, 1 co-extra, the key
  EXPECT_EQ(fake.locks.acquired, std::vector<Text>(2, Text(kReportKeyLockName)));

  fake.settings.WriteSetting(cat::kSettingsApp, cat::kSectionReport, cat::kDebuggerAKS, u"AAAZ");
  Add(u"three");
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), u"AABA");
}

TEST_F(Pipeline, AFailedWriteLeavesTheCountersBehindTheEntries) {
  AcceptAll();
  SwitchSinks(1, 0, 0);
  fake.ini_handlers.back()->failures_left = 1;  // the second write: the entry counter
  Text line = Add(u"one");
  EXPECT_EQ(Report(u"DebuggerAReport", u"0"), line);
  EXPECT_EQ(Report(u"DebuggerA", u"Counter"), u"");

  SwitchSinks(0, 0, 1);
  fake.settings.failures_left = 1;  // the second write: the co-extra text
  line = Add(u"two", u"dll", 1, Value(), Value(Text(u"co")));
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAB"), line);
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), u"<none>");
  ASSERT_EQ(fake.boxes.shown.size(), 2u);
  EXPECT_EQ(fake.boxes.shown[1].title, u"70 -AddDebugMessage");
}

TEST_F(Pipeline, AllSinksOffStillNumbers) {
  AcceptAll();
  Add(u"one");
  Add(u"two");
  EXPECT_EQ(state.message_counter, 2);
  EXPECT_FALSE(fake.disk.HasFile(state.report_file_path));
  EXPECT_TRUE(fake.windows.live_windows.empty());
  EXPECT_EQ(fake.settings.Snapshot().size(), 4u);
}

TEST_F(Pipeline, ReportFileFailureSkipsTheLaterSinks) {
  AcceptAll();
  SwitchSinks(1, 1, 1);
  fake.ini_handlers.back()->failures_left = 0;
  DebugMessage m{u"m", u"dll", u"n", 1, &last_extra, nullptr};
  AddDebugMessage(state, fake.platform, m);
  ASSERT_EQ(fake.boxes.shown.size(), 1u);
  EXPECT_EQ(fake.boxes.shown[0].title, u"70 -AddDebugMessage");
  EXPECT_EQ(state.message_counter, 1);  // numbered before the sinks ran
  EXPECT_TRUE(fake.windows.live_windows.empty());
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), u"<none>");
  EXPECT_FALSE(fake.disk.IsLocked(state.report_file_path));  // the lock was let go on the error
}

}  // namespace
