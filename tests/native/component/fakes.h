#pragma once
// In-process stand-ins for what the platform provides.
#include <functional>
#include <map>
#include <vector>

#include "component/module_state.h"
#include "component/platform.h"
#include "tests/support/memory_settings_store.h"
#include "settings/options.h"
#include "tolvex/ini/ini_handler.h"
#include "tests/support/memory_ini_storage.h"
#include "viewer/report_list.h"

namespace fakes {

using common::Text;
using common::TextView;
using outside::CallKind;
using outside::ObjectRef;
using outside::Value;

// An automation object whose members are lambdas, keyed by name and call kind.
class ScriptedObject : public outside::AutomationObject {
 public:
  using Member = std::function<Value(std::span<Value>)>;
  ScriptedObject& On(TextView name, CallKind kind, Member member) {
    members_[{Text(name), kind}] = std::move(member);
    return *this;
  }
  // A read-only property holding a fixed value.
  ScriptedObject& Property(TextView name, Value value) {
    return On(name, CallKind::PropertyGet, [value](std::span<Value>) { return value; });
  }
  Value Invoke(TextView name, CallKind kind, std::span<Value> args) override {
    calls.push_back(Text(name));
    auto it = members_.find({common::Text(name), kind});
    if (it == members_.end())
      throw common::AutomationError(438, u"Object doesn't support this property or method");
    return it->second(args);
  }
  std::vector<Text> calls;

 private:
  std::map<std::pair<Text, CallKind>, Member> members_;
};

// The run-time support component over a fixed environment.
inline std::shared_ptr<ScriptedObject> MakeRunTime(std::map<Text, Text> environment) {
  auto object = std::make_shared<ScriptedObject>();
  object->On(u"EnvironGet", CallKind::Method, [environment](std::span<Value> args) -> Value {
    const auto* kind = args[0].AsInteger();
    if (!kind || kind->value != 2 || kind->width != Value::IntegerWidth::I2)
      throw common::AutomationError(5, u"Invalid procedure call or argument");
    auto it = environment.find(*args[1].AsText());
    return Value(it == environment.end() ? Text() : it->second);
  });
  return object;
}

class FakeObjectFactory : public outside::ObjectFactory {
 public:
  std::map<Text, std::function<ObjectRef()>> classes;
  std::vector<Text> created;
  ObjectRef Create(TextView prog_id) override {
    auto it = classes.find(Text(prog_id));
    if (it == classes.end()) throw common::AutomationError(429, u"ActiveX component can't create object");
    created.push_back(Text(prog_id));
    return it->second();
  }
};

// Text forms as United States settings give them: numbers in plain decimal,
// booleans True/False, dates "12/8/2026 3:45:10 AM" (midnight: the date alone).
class PlainValueFormat : public component::ValueFormat {
 public:
  Text TextOf(const Value& value) override;
};

class RecordingMessageBoxes : public component::MessageBoxes {
 public:
  struct Box {
    Text text, title;
    uint32_t style;
  };
  std::vector<Box> shown;
  std::vector<int> answers;  // given in turn; 1 (OK) once they run out
  int Show(TextView text, TextView title, uint32_t style) override {
    shown.push_back({Text(text), Text(title), style});
    if (answers.empty()) return 1;
    int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
};

// The real INI engine on an in-memory disk, reached by member name like the
// registered component, and by its private side unless `private_side` is off (as for
// another maker's handler).
class InProcessIniHandler : public outside::AutomationObject {
 public:
  explicit InProcessIniHandler(tolvex::MemoryIniDisk& disk) : provider_(disk), handler_(provider_) {}
  Value Invoke(TextView name, CallKind kind, std::span<Value> args) override;
  std::unique_ptr<outside::FileHold> HoldFile(TextView path) override;
  int failures_left = -1;  // when 0, the next Value put fails with error 70
  bool private_side = true;
  int holds = 0;

 private:
  tolvex::MemoryIniStorageProvider provider_;
  tolvex::IniHandler handler_;
};

class FixedClock : public component::Clock {
 public:
  double serial = 46364.15636574074;  // 8 Dec 2026 03:45:10
  Value::Date Now() override { return {serial}; }
};

// Records which locks are held, and checks that none is taken twice at once.
class RecordingLocks : public component::CrossProcessLocks {
 public:
  std::vector<Text> acquired;
  std::vector<Text> held;
  class Held : public Guard {
   public:
    Held(RecordingLocks& owner, Text name) : owner_(owner), name_(std::move(name)) {}
    ~Held() override { std::erase(owner_.held, name_); }

   private:
    RecordingLocks& owner_;
    Text name_;
  };
  std::unique_ptr<Guard> Acquire(TextView name) override;
  // Recorded as "file:" and the path.
  std::unique_ptr<Guard> AcquireReportCounter(TextView path) override;
};

class FakeLiveWindow : public component::LiveMessageWindow {
 public:
  bool visible = false;
  int loads = 0;
  Text text;
  void Show() override {
    if (!visible) ++loads;
    visible = true;
  }
  void SetText(TextView t) override { text = Text(t); }
};

// The report viewer as its window behaves, over the real reload. `during_modal` runs
// while ShowModal waits, as the user would act; the window unloads when it returns.
class FakeReportViewer : public component::ReportViewer {
 public:
  explicit FakeReportViewer(const component::ReportSource& source) : source_(source) {}
  void Load() override;
  bool IsLoaded() const override { return loaded; }
  bool IsVisible() const override { return visible; }
  void ShowModeless() override;
  void ShowModal() override;
  void ClearList() override;
  void Unload();  // the user closes the window

  viewer::ReportList list;
  bool loaded = false, visible = false, modal = false;
  int loads = 0, modeless_shows = 0, modal_shows = 0, clears = 0;
  std::function<void(FakeReportViewer&)> during_modal;

 private:
  const component::ReportSource source_;
};

// The options dialog's controls in memory; `during_modal` acts as the user while the
// dialog is open and returns when the dialog closes (by OK, Cancel, Escape...).
class FakeOptionsDialog : public settings::OptionsWindow, public settings::OptionsControls {
 public:
  FakeOptionsDialog(settings::SettingsStore& store, std::unique_ptr<settings::OptionsServices> services)
      : services_(std::move(services)), logic(store, *services_) {}
  bool IsOpen() const override { return open; }
  void ShowModal() override;

  bool IsChecked(settings::Option option) const override { return checks[static_cast<size_t>(option)]; }
  void SetChecked(settings::Option option, bool checked) override { checks[static_cast<size_t>(option)] = checked; }
  void FillLevelList(const std::array<const char16_t*, 2>& items) override {
    level_items.assign(items.begin(), items.end());
    level_selected = -1;
  }
  Text LevelText() const override { return level_selected < 0 ? Text() : level_items[level_selected]; }
  bool SetLevelText(TextView text) override;
  void SetViewFileTip(TextView tip) override { view_file_tip = Text(tip); }

  std::array<bool, settings::kOptionCount> checks{};
  std::vector<Text> level_items;
  int level_selected = -1;
  Text view_file_tip;
  bool open = false;
  int openings = 0;
  std::function<void(FakeOptionsDialog&)> during_modal;

 private:
  std::unique_ptr<settings::OptionsServices> services_;

 public:
  settings::OptionsDialogLogic logic;
};

class FakeWindows : public component::WindowFactory {
 public:
  std::vector<FakeLiveWindow*> live_windows;
  std::vector<FakeReportViewer*> report_viewers;  // every viewer created
  std::vector<FakeOptionsDialog*> options_dialogs;
  std::function<void(FakeOptionsDialog&)> options_during_modal;    // given to each new dialog
  std::unique_ptr<component::LiveMessageWindow> CreateLiveMessageWindow() override {
    auto window = std::make_unique<FakeLiveWindow>();
    live_windows.push_back(window.get());
    return window;
  }
  std::unique_ptr<component::ReportViewer> CreateReportViewer(const component::ReportSource& source,
                                                              component::MessageBoxes&) override {
    auto viewer = std::make_unique<FakeReportViewer>(source);
    report_viewers.push_back(viewer.get());
    return viewer;
  }
  std::unique_ptr<settings::OptionsWindow> CreateOptionsDialog(settings::SettingsStore& store,
                                                               std::unique_ptr<settings::OptionsServices> services,
                                                               component::MessageBoxes&) override {
    auto dialog = std::make_unique<FakeOptionsDialog>(store, std::move(services));
    dialog->during_modal = options_during_modal;
    options_dialogs.push_back(dialog.get());
    return dialog;
  }
};

// Records what the options dialog asks of the report file.
class RecordingReportFiles : public component::ReportFileActions {
 public:
  std::vector<Text> deleted, opened;
  bool fail = false;
  void DeleteForced(TextView path) override {
    if (fail) throw common::AutomationError(53, u"File not found");
    deleted.emplace_back(path);
  }
  void OpenWithAssociatedProgram(TextView path) override {
    if (fail) throw common::AutomationError(53, u"File not found");
    opened.emplace_back(path);
  }
};

// The settings store in memory; `failures_left` counts down like the INI handler's.
class FailingSettingsStore : public settings::MemorySettingsStore {
 public:
  int failures_left = -1;  // when 0, the next write fails with error 70
  void WriteSetting(TextView app, TextView section, TextView key, TextView text) override {
    if (failures_left == 0) throw common::AutomationError(70, u"Permission denied");
    if (failures_left > 0) --failures_left;
    MemorySettingsStore::WriteSetting(app, section, key, text);
  }
};

// A complete fake platform with the two companion components registered.
struct FakePlatform {
  FailingSettingsStore settings;
  FakeObjectFactory objects;
  PlainValueFormat format;
  RecordingMessageBoxes boxes;
  FixedClock clock;
  RecordingLocks locks;
  FakeWindows windows;
  RecordingReportFiles files;
  tolvex::MemoryIniDisk disk;
  std::vector<std::shared_ptr<InProcessIniHandler>> ini_handlers;
  component::Platform platform{settings, objects, format, boxes, clock, locks, windows, files};
  std::map<Text, Text> environment{{u"QVSUPPORT", u"C:\\support"}};

  FakePlatform();
};

}  // namespace fakes
