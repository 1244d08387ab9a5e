// The window commands of a debugger object, and the options dialog as the component
// opens it, on the fake platform with the real INI engine behind the report viewer.
#include <gtest/gtest.h>

#include "component/debugger_commands.h"
#include "fakes.h"
#include "outside/helper_components.h"
#include "settings/catalog.h"

using namespace component;
using common::Text;
using fakes::FakeOptionsDialog;
using fakes::FakeReportViewer;
using outside::Value;
namespace cat = settings::catalog;

namespace {

class WindowCommands : public ::testing::Test {
 protected:
  void Store(const char16_t* key, const char16_t* text) {
    fake.settings.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, text);
  }
  // Report file entries written by the sink.
  void WriteReport(int entries) {
    Store(cat::kDebuggerAEnabledLevel, u"1");
    Store(cat::kDebuggerAEnabledDLL, u"1");
    if (!state.ini_handler) {
      CreateHelperObjects(state, fake.platform);
      LoadDebuggerConfig(state, fake.platform);
    }
    int32_t shell = std::exchange(state.debugger_shell, 1);
    for (int i = 0; i < entries; ++i) {
      Value extra;
      DebugMessage m{u"entry", u"dll", u"modTest", 1, &extra, nullptr};
      AddDebugMessage(state, fake.platform, m);
    }
    state.debugger_shell = shell;
  }
  Debugger& Create() {
    debuggers.push_back(std::make_unique<Debugger>(state, fake.platform));
    return *debuggers.back();
  }
  FakeReportViewer* Viewer() { return dynamic_cast<FakeReportViewer*>(state.report_viewer.get()); }
  template <typename Call>
  static int32_t ErrorOf(Call&& call) {
    try {
      call();
    } catch (const common::AutomationError& error) {
      return error.number();
    }
    return 0;
  }

  fakes::FakePlatform fake;
  ModuleState state;
  std::vector<std::unique_ptr<Debugger>> debuggers;
};

TEST_F(WindowCommands, TheWindowSwitchDecidesWhetherCreationShowsTheViewer) {
  for (const char16_t* off : {u"", u"0", u"2", u"0.5"}) {
    Store(cat::kDebuggerWindow, off);
    Create().CreateDebugInfoWindow();
  }
  EXPECT_TRUE(fake.windows.report_viewers.empty());
  EXPECT_TRUE(fake.boxes.shown.empty());

  WriteReport(2);
  Store(cat::kDebuggerWindow, u"1");
  Debugger& debugger = Create();
  FakeReportViewer* viewer = Viewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->visible && !viewer->modal);
  EXPECT_EQ(viewer->list.size(), 2u);
  debugger.CreateDebugInfoWindow();
  debugger.DestroyDebugInfoWindow();  // does nothing
  Create();                           // another object: the same viewer, shown again, not read again
  EXPECT_EQ(fake.windows.report_viewers.size(), 1u);
  EXPECT_EQ(viewer->modeless_shows, 3);
  EXPECT_EQ(viewer->loads, 1);
  EXPECT_TRUE(viewer->visible);
}

TEST_F(WindowCommands, AddClearMessagesEmptiesTheListAndLeavesTheFile) {
  Debugger& debugger = Create();
  WriteReport(3);
  debugger.AddClearMessages();  // no viewer yet: one is loaded hidden, then emptied
  FakeReportViewer* hidden = Viewer();
  ASSERT_NE(hidden, nullptr);
  EXPECT_TRUE(hidden->loaded && !hidden->visible);
  EXPECT_EQ(hidden->loads, 1);
  EXPECT_EQ(hidden->list.size(), 0u);

  size_t rows_shown = 99;  // ShowDebuggerWindow shows that viewer as it is
  hidden->during_modal = [&](FakeReportViewer& v) { rows_shown = v.list.size(); };
  debugger.ShowDebuggerWindow();
  EXPECT_EQ(rows_shown, 0u);
  EXPECT_EQ(hidden->loads, 1);
  EXPECT_FALSE(hidden->loaded);  // closed: unloaded

  state.debugger_window = 1;
  debugger.CreateDebugInfoWindow();  // a new window lists the entries again
  EXPECT_EQ(Viewer()->loads, 2);
  ASSERT_EQ(Viewer()->list.size(), 3u);
  debugger.AddClearMessages();
  EXPECT_EQ(Viewer()->list.size(), 0u);
  EXPECT_TRUE(Viewer()->visible);
}

TEST_F(WindowCommands, ShowDebuggerWindowIsModalAndRefusedWhileShownModeless) {
  WriteReport(1);
  Debugger& debugger = Create();
  bool modal_with_rows = false;
  dynamic_cast<FakeReportViewer&>(ReportViewerInstance(state, fake.platform)).during_modal =
      [&](FakeReportViewer& v) { modal_with_rows = v.modal && v.list.size() == 1; };
  debugger.ShowDebuggerWindow();
  EXPECT_TRUE(modal_with_rows);
  EXPECT_FALSE(Viewer()->loaded);

  state.debugger_window = 1;
  debugger.CreateDebugInfoWindow();
  EXPECT_EQ(ErrorOf([&] { debugger.ShowDebuggerWindow(); }), 400);
  EXPECT_TRUE(fake.boxes.shown.empty());
  EXPECT_TRUE(Viewer()->visible && !Viewer()->modal);
  EXPECT_EQ(Viewer()->modal_shows, 1);  // the first one only
}

TEST_F(WindowCommands, TrappedErrorsShowOneBoxEachAndDropTheFailedViewer) {
  Debugger& debugger = Create();
  state.ini_handler = nullptr;  // a viewer's load cannot read the report file
  state.debugger_window = 1;
  debugger.AddClearMessages();
  debugger.CreateDebugInfoWindow();
  ASSERT_EQ(fake.boxes.shown.size(), 2u);
  EXPECT_EQ(fake.boxes.shown[0].title, u"91 -AddClearMessages");
  EXPECT_EQ(fake.boxes.shown[0].text, u"Object variable or With block variable not set");
  EXPECT_EQ(fake.boxes.shown[0].style, 48u);
  EXPECT_EQ(fake.boxes.shown[1].title, u"91 -CreateDebugInfoWindow");
  EXPECT_FALSE(Viewer()->loaded);  // the failed loads are undone
  // The untrapped command hands the same failure to its caller, without a box.
  EXPECT_EQ(ErrorOf([&] { debugger.ShowDebuggerWindow(); }), 91);
  EXPECT_EQ(fake.boxes.shown.size(), 2u);
}

TEST_F(WindowCommands, CreationSucceedsWhenTheViewerItOpensCannotLoad) {
  Store(cat::kDebuggerWindow, u"1");
  fake.disk.AddFolder(u"C:\\support\\velkbug.ini");  // the report file path names a folder
  Create();
  fake.objects.classes[outside::kIniFileHandlerProgId] = [] { return std::make_shared<fakes::ScriptedObject>(); };
  Create();  // a handler that knows none of the members
  ASSERT_EQ(fake.boxes.shown.size(), 2u);
  EXPECT_EQ(fake.boxes.shown[0].title, u"75 -CreateDebugInfoWindow");
  EXPECT_EQ(fake.boxes.shown[1].title, u"438 -CreateDebugInfoWindow");
  EXPECT_EQ(fake.boxes.shown[1].style, 48u);
  EXPECT_FALSE(Viewer()->loaded);  // the failed loads are undone
  EXPECT_EQ(Viewer()->loads, 2);
  EXPECT_EQ(state.debugger_window, 1);
  EXPECT_EQ(state.report_file_path, u"C:\\support\\velkbug.ini");
}

TEST_F(WindowCommands, OptionsOpeningReloadsTheSwitchesButSavingDoesNot) {
  Debugger& debugger = Create();
  Store(cat::kDebuggerAEnabledDLL, u"1");
  Store(cat::kDebuggerShell, u"1");
  state.report_file_path = u"stale";
  debugger.ShowDebuggerOptions();  // closed at once, nothing saved
  FakeOptionsDialog* dialog = fake.windows.options_dialogs.back();
  EXPECT_EQ(state.debugger_shell, 1);
  EXPECT_EQ(state.report_file_path, u"C:\\support\\velkbug.ini");
  EXPECT_TRUE(dialog->IsChecked(settings::Option::kEnabledDLL));
  EXPECT_EQ(dialog->view_file_tip, u"C:\\support\\velkbug.ini");
  EXPECT_FALSE(dialog->IsOpen());

  dialog->during_modal = [](FakeOptionsDialog& d) {
    d.SetChecked(settings::Option::kRegistry, true);
    d.logic.Ok(d);
  };
  debugger.ShowDebuggerOptions();  // the same dialog, loaded afresh
  EXPECT_EQ(fake.windows.options_dialogs.size(), 1u);
  EXPECT_EQ(dialog->openings, 2);
  EXPECT_EQ(fake.settings.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerRegistry), u"1");
  EXPECT_EQ(state.debugger_registry, 0);
  dialog->during_modal = nullptr;
  debugger.ShowDebuggerOptions();
  EXPECT_EQ(state.debugger_registry, 1);
}

TEST_F(WindowCommands, OptionsCommandsReachTheReportFileAndTheViewer) {
  WriteReport(2);
  Debugger& debugger = Create();
  fake.boxes.answers = {7, 6};  // Clear File: No, then Yes
  size_t rows = 0;
  fake.windows.options_during_modal = [&](FakeOptionsDialog& dialog) {
    dialog.logic.ClearFile();
    dialog.logic.ClearFile();
    dialog.logic.ViewFile();
    dynamic_cast<FakeReportViewer&>(ReportViewerInstance(state, fake.platform)).during_modal =
        [&](FakeReportViewer& v) { rows = v.modal ? v.list.size() : 0; };
    dialog.logic.ViewDebugger();
  };
  debugger.ShowDebuggerOptions();
  EXPECT_EQ(fake.files.deleted, std::vector<Text>{u"C:\\support\\velkbug.ini"});
  EXPECT_EQ(fake.files.opened, std::vector<Text>{u"C:\\support\\velkbug.ini"});
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(fake.boxes.shown.size(), 2u);  // the two confirmations

  // With the viewer shown modeless, View Debugger reports the refusal; the dialog stays.
  state.debugger_window = 1;
  debugger.CreateDebugInfoWindow();
  bool still_open = false;
  fake.windows.options_dialogs.back()->during_modal = [&](FakeOptionsDialog& dialog) {
    dialog.logic.ViewDebugger();
    still_open = dialog.IsOpen();
  };
  debugger.ShowDebuggerOptions();
  EXPECT_TRUE(still_open);
  ASSERT_EQ(fake.boxes.shown.size(), 3u);
  EXPECT_EQ(fake.boxes.shown[2].title, u"400 -cmdViewDebugger");
  EXPECT_EQ(fake.boxes.shown[2].style, 48u);
}

TEST_F(WindowCommands, OptionsFailuresGoToTheCaller) {
  Debugger& debugger = Create();
  int32_t nested = 0;
  fake.windows.options_during_modal = [&](FakeOptionsDialog&) {
    nested = ErrorOf([&] { debugger.ShowDebuggerOptions(); });
  };
  debugger.ShowDebuggerOptions();
  EXPECT_EQ(nested, 400);  // already open

  state.run_time = nullptr;  // the configuration loader cannot ask the environment
  EXPECT_EQ(ErrorOf([&] { debugger.ShowDebuggerOptions(); }), 91);
  EXPECT_FALSE(fake.windows.options_dialogs.back()->IsOpen());
  EXPECT_TRUE(fake.boxes.shown.empty());
}

}  // namespace
