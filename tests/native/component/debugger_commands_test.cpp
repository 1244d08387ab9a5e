// Creating debugger objects: helper components, configuration, shared state.
#include <gtest/gtest.h>

#include <thread>

#include "component/debugger_commands.h"
#include "component/error_report.h"
#include "fakes.h"
#include "outside/helper_components.h"
#include "settings/catalog.h"

using namespace component;
using fakes::FakePlatform;
using fakes::ScriptedObject;
namespace cat = settings::catalog;

namespace {

class DebuggerCommands : public ::testing::Test {
 protected:
  void Store(const char16_t* key, const char16_t* text) {
    fake.settings.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, text);
  }
  FakePlatform fake;
  ModuleState state;
};

TEST_F(DebuggerCommands, NoSettingsStoredLeavesEverySinkOffAndOpensNothing) {
  Debugger debugger(state, fake.platform);
  EXPECT_EQ(state.settings_app, u"Kestrelon\\Debugger");
  EXPECT_EQ(state.debugger_window, 0);
  EXPECT_EQ(state.debugger_registry, 0);
  EXPECT_EQ(state.debugger_shell, 0);
  EXPECT_EQ(state.report_file_path, u"C:\\support\\velkbug.ini");
  EXPECT_TRUE(fake.boxes.shown.empty());
}

TEST_F(DebuggerCommands, LoaderReadsSwitchesBeforeAskingTheEnvironment) {
  Store(cat::kDebuggerShell, u"1");
  try {
    LoadDebuggerConfig(state, fake.platform);  // no run-time support component yet
    FAIL() << "the loader must need the run-time support component";
  } catch (const common::AutomationError& error) {
    EXPECT_EQ(error.number(), 91);
  }
  EXPECT_EQ(state.debugger_shell, 1);
  EXPECT_TRUE(state.report_file_path.empty());
}

TEST_F(DebuggerCommands, SwitchTextsRoundHalfToEven) {
  Store(cat::kDebuggerWindow, u"1abc");
  Store(cat::kDebuggerRegistry, u"0.6");
  Store(cat::kDebuggerShell, u"2");
  Debugger first(state, fake.platform);
  EXPECT_EQ(state.debugger_window, 1);
  EXPECT_EQ(state.debugger_registry, 1);
  EXPECT_EQ(state.debugger_shell, 2);

  Store(cat::kDebuggerWindow, u"0.5");
  Store(cat::kDebuggerRegistry, u"1.5");
  Store(cat::kDebuggerShell, u"1.0");
  Debugger second(state, fake.platform);
  EXPECT_EQ(state.debugger_window, 0);
  EXPECT_EQ(state.debugger_registry, 2);
  EXPECT_EQ(state.debugger_shell, 1);
}

TEST_F(DebuggerCommands, ReportPathUsesTheEnvironmentTextAsReturned) {
  fake.environment.clear();
  Debugger unset(state, fake.platform);
  EXPECT_EQ(state.report_file_path, u"\\velkbug.ini");

  fake.environment[u"QVSUPPORT"] = u"D:\\logs\\";
  Debugger trailing(state, fake.platform);
  EXPECT_EQ(state.report_file_path, u"D:\\logs\\\\velkbug.ini");
}

TEST_F(DebuggerCommands, HelpersAreCreatedInOrderAndReplacedByEachCreation) {
  Debugger first(state, fake.platform);
  auto run_time = state.run_time, ini = state.ini_handler;
  Debugger second(state, fake.platform);
  EXPECT_EQ(fake.objects.created, (std::vector<common::Text>{outside::kRunTimeProgId, outside::kIniFileHandlerProgId,
                                                              outside::kRunTimeProgId, outside::kIniFileHandlerProgId}));
  EXPECT_NE(state.run_time, run_time);
  EXPECT_NE(state.ini_handler, ini);
}

TEST_F(DebuggerCommands, SwitchChangesReachOnlyLaterCreations) {
  Debugger existing(state, fake.platform);
  Store(cat::kDebuggerShell, u"1");
  EXPECT_EQ(state.debugger_shell, 0);
  Debugger later(state, fake.platform);
  EXPECT_EQ(state.debugger_shell, 1);
}

TEST_F(DebuggerCommands, CreationFailsWithTheHelperErrorAndKeepsWhatWasDone) {
  fake.objects.classes.erase(outside::kIniFileHandlerProgId);
  Store(cat::kDebuggerShell, u"1");
  try {
    Debugger debugger(state, fake.platform);
    FAIL() << "creation must fail";
  } catch (const common::AutomationError& error) {
    EXPECT_EQ(error.number(), 429);
  }
  EXPECT_NE(state.run_time, nullptr);  // created before the failure, stays stored
  EXPECT_EQ(state.debugger_shell, 0);  // configuration not loaded
  EXPECT_TRUE(state.settings_app.empty());
  EXPECT_TRUE(fake.boxes.shown.empty());  // creation shows no message box
}

TEST_F(DebuggerCommands, EnvironGetFailureEndsCreation) {
  fake.objects.classes[outside::kRunTimeProgId] = [] {
    auto object = std::make_shared<ScriptedObject>();
    object->On(u"EnvironGet", outside::CallKind::Method, [](std::span<outside::Value>) -> outside::Value {
      throw common::AutomationError(-2147024809, u"The parameter is incorrect.");
    });
    return object;
  };
  try {
    Debugger debugger(state, fake.platform);
    FAIL() << "creation must fail";
  } catch (const common::AutomationError& error) {
    EXPECT_EQ(error.number(), -2147024809);
    EXPECT_EQ(error.description(), u"The parameter is incorrect.");
  }
  EXPECT_TRUE(state.report_file_path.empty());
}

TEST_F(DebuggerCommands, AppObjIsSharedAndSurvivesTheObjectsRelease) {
  auto app = std::make_shared<ScriptedObject>();
  {
    Debugger setter(state, fake.platform);
    EXPECT_EQ(setter.AppObj(), nullptr);
    setter.SetAppObj(app);
  }
  Debugger reader(state, fake.platform);
  EXPECT_EQ(reader.AppObj(), app);
  reader.SetAppObj(nullptr);
  EXPECT_EQ(Debugger(state, fake.platform).AppObj(), nullptr);
}

TEST_F(DebuggerCommands, MessageCounterSurvivesRecreation) {
  { Debugger first(state, fake.platform); }
  state.message_counter = 41;
  Debugger second(state, fake.platform);
  EXPECT_EQ(state.message_counter, 41);
}

TEST(ErrorReport, TitleAndStyle) {
  FakePlatform fake;
  RunTrapped(fake.boxes, u"AddDebugMessage", [] { throw common::AutomationError(13, u"Type mismatch"); });
  RunTrapped(fake.boxes, u"AddClearMessages", [] { throw common::AutomationError(-2147024891, u"Denied"); });
  RunTrapped(fake.boxes, u"CreateDebugInfoWindow", [] { throw std::runtime_error("boom"); });
  ASSERT_EQ(fake.boxes.shown.size(), 3u);
  EXPECT_EQ(fake.boxes.shown[0].title, u"13 -AddDebugMessage");
  EXPECT_EQ(fake.boxes.shown[0].text, u"Type mismatch");
  EXPECT_EQ(fake.boxes.shown[0].style, 48u);
  EXPECT_EQ(fake.boxes.shown[1].title, u"-2147024891 -AddClearMessages");
  EXPECT_EQ(fake.boxes.shown[2].title, u"51 -CreateDebugInfoWindow");
}

TEST(AutomationError, NumbersFollowTheAutomationConvention) {
  EXPECT_EQ(common::AutomationError::FromResult(0x800A000Du, u"").number(), 13);
  EXPECT_EQ(common::AutomationError::FromResult(0x80070005u, u"").number(), -2147024891);
  EXPECT_EQ(common::AutomationError(13, u"").result_code(), 0x800A000Du);
  EXPECT_EQ(common::AutomationError(-2147024891, u"").result_code(), 0x80070005u);
}

}  // namespace
