// The options dialog's logic: what it loads, shows, asks and writes.
#include <gtest/gtest.h>

#include "fakes.h"
#include "settings/catalog.h"
#include "settings/options.h"

using common::Text;
using common::TextView;
using settings::Option;
using Texts = std::vector<Text>;
namespace cat = settings::catalog;

namespace {

// The settings store in memory, with every read and write logged in order.
class LoggingStore : public settings::SettingsStore {
 public:
  Text ReadSetting(TextView app, TextView section, TextView key, TextView default_text) override {
    log.push_back(u"read " + Path(app, section, key) + (default_text.empty() ? u"" : u" with a default"));
    return memory.ReadSetting(app, section, key, default_text);
  }
  void WriteSetting(TextView app, TextView section, TextView key, TextView text) override {
    log.push_back(u"write " + Path(app, section, key) + u"=" + Text(text));
    memory.WriteSetting(app, section, key, text);
  }
  static Text Path(TextView app, TextView section, TextView key) {
    return Text(app) + u"\\" + Text(section) + u"\\" + Text(key);
  }
  settings::MemorySettingsStore memory;
  Texts log;
};

class ScriptedServices : public settings::OptionsServices {
 public:
  Configuration LoadConfiguration() override {
    events.push_back(u"load configuration");
    return {cat::kSettingsApp, u"C:\\support\\velkbug.ini"};
  }
  int Ask(TextView text, TextView title, uint32_t style) override {
    events.push_back(u"ask " + Text(text) + u" | " + Text(title) + u" | " + common::IntegerText(style));
    int answer = answers.empty() ? 6 : answers.front();  // 6 is Yes
    if (!answers.empty()) answers.erase(answers.begin());
    return answer;
  }
  void DeleteReportFile(TextView path) override { Act(u"delete ", path); }
  void OpenReportFile(TextView path) override { Act(u"open ", path); }
  void ShowReportViewer() override { events.push_back(u"viewer"); }
  void Act(const Text& what, TextView path) {
    events.push_back(what + Text(path));
    if (fail) throw common::AutomationError(53, u"File not found");
  }
  Texts events;
  std::vector<int> answers;
  bool fail = false;
};

constexpr int kNo = 7;
const Text kAsk = u"ask Are you sure? | Sure... | 36";  // Yes and No, question icon, Yes preselected

class OptionsLogic : public ::testing::Test {
 protected:
  OptionsLogic() {
    auto owned = std::make_unique<ScriptedServices>();
    services = owned.get();
    dialog = std::make_unique<fakes::FakeOptionsDialog>(store, std::move(owned));
  }
  void Store(const char16_t* key, const char16_t* text) {
    store.memory.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, text);
  }
  void Open() {
    store.log.clear();
    services->events.clear();
    dialog->ShowModal();
  }
  // Opens, then forgets what the opening read.
  void OpenQuietly() {
    Open();
    store.log.clear();
    services->events.clear();
  }
  void Ok() {
    store.log.clear();
    EXPECT_TRUE(dialog->logic.Ok(*dialog));
  }

  LoggingStore store;
  ScriptedServices* services;
  std::unique_ptr<fakes::FakeOptionsDialog> dialog;
};

TEST_F(OptionsLogic, OpeningReadsNineValuesAndOkWritesThemInOrder) {
  dialog->level_items = {u"stale"};
  Open();
  EXPECT_EQ(dialog->level_items, (Texts{u"1", u"2"}));
  EXPECT_EQ(services->events, Texts{u"load configuration"});
  const Texts keys = {u"Debugger\\DebuggerA\\DebuggerAEnabled",    u"Debugger\\DebuggerA\\DebuggerAEnabledDLL",
                      u"Debugger\\DebuggerA\\DebuggerAEnabledEXE", u"Debugger\\DebuggerA\\DebuggerAEnabledOCX",
                      u"Debugger\\DebuggerA\\DebuggerAEnabledLevel", u"Debugger\\DebuggerA\\DebuggerRegistry",
                      u"Debugger\\DebuggerA\\DebuggerWindow",      u"Debugger\\DebuggerA\\DebuggerShell",
                      u"Marivale\\CleanMachineEnvVar"};
  Texts reads, writes;
  for (const Text& key : keys) reads.push_back(u"read Kestrelon\\" + key);  // no defaults
  EXPECT_EQ(store.log, reads);
  for (Option box : settings::kCheckBoxOrder) EXPECT_FALSE(dialog->IsChecked(box));
  EXPECT_EQ(dialog->level_selected, -1);
  EXPECT_EQ(dialog->view_file_tip, u"C:\\support\\velkbug.ini");

  Ok();  // nothing stored, nothing changed: zeroes everywhere
  for (const Text& key : keys) writes.push_back(u"write Kestrelon\\" + key + u"=0");
  EXPECT_EQ(store.log, writes);
}

TEST_F(OptionsLogic, EachStoredSwitchTextGivesItsCheckStateAndSavesAsOneOrZero) {
  const std::pair<const char16_t*, bool> cases[] = {
      {u"1", true},   {u"2", true},  {u"0.6", true}, {u"1abc", true}, {u"1.5", true}, {u"0.5", false},
      {u"0", false},  {u"-1", false}, {u"abc", false}, {u"", false},  {u"1e10", false}};  // beyond 32 bits: 0
  const char16_t* keys[] = {cat::kDebuggerAEnabled, cat::kDebuggerAEnabledDLL, cat::kDebuggerAEnabledEXE,
                            cat::kDebuggerAEnabledOCX, cat::kDebuggerRegistry, cat::kDebuggerWindow,
                            cat::kDebuggerShell};
  for (auto [stored, checked] : cases) {
    for (const char16_t* key : keys) Store(key, stored);
    store.memory.WriteSetting(cat::kMakerApp, cat::kSectionMarivale, cat::kCleanMachineEnvVar, stored);
    Open();
    for (Option box : settings::kCheckBoxOrder) EXPECT_EQ(dialog->IsChecked(box), checked) << common::ToUtf8(stored);
    Ok();
    for (const char16_t* key : keys)
      EXPECT_EQ(store.memory.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key), checked ? u"1" : u"0");
    EXPECT_EQ(store.memory.ReadSetting(cat::kMakerApp, cat::kSectionMarivale, cat::kCleanMachineEnvVar),
              checked ? u"1" : u"0");
  }
  // CleanMachineEnvVar counts only beside the debugger's settings, not under them.
  store.memory = settings::MemorySettingsStore();
  Store(cat::kCleanMachineEnvVar, u"1");
  Open();
  EXPECT_FALSE(dialog->IsChecked(Option::kCleanMachineEnvVar));
}

TEST_F(OptionsLogic, EachStoredLevelSelectsItsItemOrNone) {
  const std::tuple<const char16_t*, int, const char16_t*> cases[] = {
      {u"1", 0, u"1"},    {u"2", 1, u"2"},    {u"1.4", 0, u"1"}, {u"1.5", 1, u"2"}, {u"2.5", 1, u"2"},
      {u"3", -1, u"0"},   {u"0", -1, u"0"},   {u"0.5", -1, u"0"}, {u"-1", -1, u"0"}, {u"x", -1, u"0"}};
  for (auto [stored, selected, saved] : cases) {
    Store(cat::kDebuggerAEnabledLevel, stored);
    Open();
    EXPECT_EQ(dialog->level_selected, selected) << common::ToUtf8(stored);
    Ok();
    EXPECT_EQ(store.log[4], u"write Kestrelon\\Debugger\\DebuggerA\\DebuggerAEnabledLevel=" + Text(saved));
  }
}

TEST_F(OptionsLogic, OnlyTheAnswerNoStopsOk) {
  OpenQuietly();
  dialog->SetChecked(Option::kWindow, true);
  dialog->SetLevelText(u"2");
  services->answers = {kNo, 2};  // No, then an answer that is not No
  EXPECT_FALSE(dialog->logic.Ok(*dialog));
  EXPECT_TRUE(store.log.empty());  // nothing written, nothing read
  EXPECT_TRUE(dialog->IsChecked(Option::kWindow));
  EXPECT_TRUE(dialog->logic.Ok(*dialog));
  EXPECT_EQ(services->events, (Texts{kAsk, kAsk}));  // the second OK asked again
  EXPECT_EQ(store.log[4], u"write Kestrelon\\Debugger\\DebuggerA\\DebuggerAEnabledLevel=2");
  EXPECT_EQ(store.log[6], u"write Kestrelon\\Debugger\\DebuggerA\\DebuggerWindow=1");
}

TEST_F(OptionsLogic, FileCommandsAskAsTheyShouldAndIgnoreFailures) {
  OpenQuietly();
  services->answers = {kNo};
  dialog->logic.ClearFile();  // No: nothing deleted
  dialog->logic.ClearFile();
  services->fail = true;
  EXPECT_NO_THROW(dialog->logic.ClearFile());
  EXPECT_NO_THROW(dialog->logic.ViewFile());  // no confirmation
  dialog->logic.ViewDebugger();
  EXPECT_EQ(services->events, (Texts{kAsk, kAsk, u"delete C:\\support\\velkbug.ini", kAsk,
                                     u"delete C:\\support\\velkbug.ini", u"open C:\\support\\velkbug.ini", u"viewer"}));
  EXPECT_TRUE(store.log.empty());
}

}  // namespace
