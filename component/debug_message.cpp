#include "component/debug_message.h"

#include "component/error_report.h"
#include "component/report_key.h"
#include "outside/helper_components.h"
#include "settings/catalog.h"
#include "settings/number_text.h"

namespace component {

namespace cat = settings::catalog;

namespace {

const Text kSeparator = u" > ";

struct KindRow {
  const char16_t* type;
  const char16_t* setting;
  const char16_t* label;
};
const KindRow kKinds[] = {
    {u"dll", cat::kDebuggerAEnabledDLL, u". (dll) "},
    {u"ocx", cat::kDebuggerAEnabledOCX, u". (ocx) "},
    {u"exe", cat::kDebuggerAEnabledEXE, u". (exe) "},
};

Text AsciiLower(TextView text) {
  Text out(text);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  return out;
}

// A registry text cannot hold NUL: it would end the text there. A blank keeps
// everything after it.
Text WithoutNul(Text text) {
  for (auto& c : text)
    if (c == u'\0') c = u' ';
  return text;
}

Text TextOrEmpty(ValueFormat& format, const Value* value) {
  if (!value || value->IsMissing()) return Text();
  return format.TextOf(*value);
}

}  // namespace

Text ApplicationIdentity(const outside::ObjectRef& app, ValueFormat& format) {
  if (!app) return u"APPOBJNOTHING";
  Text product = format.TextOf(app->Get(u"ProductName"));
  Text title = format.TextOf(app->Get(u"Title"));
  Text major = format.TextOf(app->Get(u"Major"));
  Text minor = format.TextOf(app->Get(u"Minor"));
  return product + kSeparator + title + kSeparator + major + u"." + minor;
}

namespace {

const KindRow* FindKind(TextView type) {
  Text lower = AsciiLower(type);
  for (const KindRow& row : kKinds)
    if (lower == row.type) return &row;
  return nullptr;
}

}  // namespace

Text KindLabel(TextView type, TextView kind_setting) {
  const KindRow* row = FindKind(type);
  return row && settings::NumberEquals(kind_setting, 1) ? Text(row->label) : Text();
}

Text ComposeMessageLine(ModuleState& state, const Platform& platform, DebugMessage& message) {
  Text identity = ApplicationIdentity(state.app_object, platform.format);

  Value omitted_extra;
  Value& extra = message.extra && !message.extra->IsMissing() ? *message.extra : omitted_extra;
  // A null extra has no length to test: it stays null and contributes nothing.
  if (!extra.IsNull() && platform.format.TextOf(extra).empty()) extra = Value(Text(u"-"));

  // The level and the kind's switch, read afresh for every message, together.
  const KindRow* kind = FindKind(message.type);
  std::vector<TextView> keys{cat::kDebuggerAEnabledLevel};
  if (kind) keys.push_back(kind->setting);
  std::vector<Text> filter = platform.settings.ReadSettings(state.settings_app, cat::kSectionDebuggerA, keys);
  if (!settings::NumberEquals(filter[0], message.level)) return Text();
  Text label = KindLabel(message.type, kind ? TextView(filter[1]) : TextView());
  if (label.empty()) return Text();

  ++state.message_counter;
  Text line = common::IntegerText(state.message_counter);
  line += label;
  line += kSeparator + identity;
  line += kSeparator + message.name;
  line += kSeparator + message.message;
  line += kSeparator + platform.format.TextOf(extra);
  line += kSeparator + platform.format.TextOf(Value(platform.clock.Now()));
  return line;
}

void DeliverMessageLine(ModuleState& state, const Platform& platform, const Text& line, const Value* co_extra) {
  const Text stored = WithoutNul(line);

  if (settings::SwitchIsOn(state.debugger_shell)) {
    outside::IniFileHandler ini(state.ini_handler);
    // Our own handler holds the report file's lock across the three steps; any other is
    // driven through its members alone, under the report counter's lock.
    std::unique_ptr<outside::FileHold> hold = ini.Hold(state.report_file_path);
    std::unique_ptr<CrossProcessLocks::Guard> counter_lock;
    if (!hold) counter_lock = platform.locks.AcquireReportCounter(state.report_file_path);
    ini.SetPath(state.report_file_path);
    ini.SetSection(cat::kSectionDebuggerA);
    ini.SetKey(Value(Text(u"Counter")));
    double entry = settings::TextToNumber(platform.format.TextOf(ini.GetValue()));
    ini.SetSection(cat::kSectionReport);
    ini.SetKey(Value(entry));
    ini.SetValue(Value(stored));
    ini.SetSection(cat::kSectionDebuggerA);
    ini.SetKey(Value(Text(u"Counter")));
    ini.SetValue(Value(entry + 1));
  }

  if (settings::SwitchIsOn(state.debugger_window)) {
    if (!state.live_window) state.live_window = platform.windows.CreateLiveMessageWindow();
    state.live_window->Show();
    state.live_window->SetText(stored);
  }

  if (settings::SwitchIsOn(state.debugger_registry) && !line.empty()) {
    auto& store = platform.settings;
    auto lock = platform.locks.Acquire(kReportKeyLockName);
    Text key = NextReportKey(store.ReadSetting(state.settings_app, cat::kSectionReport, cat::kDebuggerAKS,
                                               cat::kFirstReportKeyBase));
    store.WriteSetting(state.settings_app, cat::kSectionReport, key, stored);
    Text co_text = WithoutNul(TextOrEmpty(platform.format, co_extra));
    if (!co_text.empty()) store.WriteSetting(state.settings_app, cat::kSectionReportCo, key, co_text);
    store.WriteSetting(state.settings_app, cat::kSectionReport, cat::kDebuggerAKS, key);
  }
}

void AddDebugMessage(ModuleState& state, const Platform& platform, DebugMessage& message) {
  RunTrapped(platform.boxes, u"AddDebugMessage", [&] {
    Text line = ComposeMessageLine(state, platform, message);
    DeliverMessageLine(state, platform, line, message.co_extra);
  });
}

}  // namespace component
