#include "fakes.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "outside/helper_components.h"
#include "settings/number_text.h"

namespace fakes {

namespace {

// Days since 30 Dec 1899 to a civil date (proleptic Gregorian).
void CivilFromSerial(int64_t days, int& year, int& month, int& day) {
  int64_t z = days - 25569 + 719468;  // shift to days since 0000-03-01 via the Unix epoch
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

Text UsDateText(double serial) {
  int64_t days = static_cast<int64_t>(std::floor(serial));
  int64_t seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
  if (seconds == 86400) ++days, seconds = 0;
  int year, month, day;
  CivilFromSerial(days, year, month, day);
  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, "%d/%d/%d", month, day, year);
  if (seconds != 0) {
    int hour = static_cast<int>(seconds / 3600), minute = static_cast<int>(seconds / 60 % 60),
        second = static_cast<int>(seconds % 60);
    std::snprintf(buffer + n, sizeof buffer - n, " %d:%02d:%02d %s", hour % 12 == 0 ? 12 : hour % 12, minute, second,
                  hour < 12 ? "AM" : "PM");
  }
  return common::FromAscii(buffer);
}

}  // namespace

std::unique_ptr<component::CrossProcessLocks::Guard> RecordingLocks::Acquire(TextView name) {
  for (const Text& h : held)
    if (h == name) throw std::logic_error("lock taken twice");
  acquired.emplace_back(name);
  held.emplace_back(name);
  return std::make_unique<Held>(*this, Text(name));
}

std::unique_ptr<component::CrossProcessLocks::Guard> RecordingLocks::AcquireReportCounter(TextView path) {
  return Acquire(u"file:" + Text(path));
}

Text PlainValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsEmpty() || value.IsNull()) return Text();
  if (const double* number = value.AsDouble()) return settings::NumberText(*number);
  if (const auto* integer = value.AsInteger()) return common::IntegerText(integer->value);
  if (const bool* flag = value.AsBool()) return *flag ? u"True" : u"False";
  if (const auto* date = value.AsDate()) return UsDateText(date->serial);
  throw common::AutomationError(13, u"Type mismatch");
}

FakePlatform::FakePlatform() {
  objects.classes[outside::kRunTimeProgId] = [this] { return MakeRunTime(environment); };
  disk.AddFolder(u"C:\\support");
  objects.classes[outside::kIniFileHandlerProgId] = [this] {
    ini_handlers.push_back(std::make_shared<InProcessIniHandler>(disk));
    return ini_handlers.back();
  };
}

}  // namespace fakes

namespace fakes {

namespace {
Text KeyText(const Value& value) {
  if (const double* number = value.AsDouble()) return settings::NumberText(*number);
  return *value.AsText();
}
}  // namespace

Value InProcessIniHandler::Invoke(TextView name, CallKind kind, std::span<Value> args) {
  if (kind == CallKind::PropertyPut && name == u"Path") return handler_.SetPath(*args[0].AsText()), Value();
  if (kind == CallKind::PropertyPut && name == u"Section") return handler_.SetSection(*args[0].AsText()), Value();
  if (kind == CallKind::PropertyPut && name == u"Key") return handler_.SetKey(KeyText(args[0])), Value();
  if (kind == CallKind::PropertyGet && name == u"Key") return Value(handler_.Key());
  if (kind == CallKind::PropertyGet && name == u"Value") return Value(handler_.Value());
  if (kind == CallKind::PropertyPut && name == u"Value") {
    if (failures_left == 0) throw common::AutomationError(70, u"Permission denied");
    if (failures_left > 0) --failures_left;
    handler_.SetValue(KeyText(args[0]));
    return Value();
  }
  if (kind == CallKind::Method && name == u"EnumerateCurrentSection") {
    auto names = handler_.EnumerateCurrentSection();
    args[0] = Value(Value::TextArray{1, names});
    args[1] = Value::I4(static_cast<int32_t>(names.size()));
    return Value();
  }
  throw common::AutomationError(438, u"Object doesn't support this property or method");
}

std::unique_ptr<outside::FileHold> InProcessIniHandler::HoldFile(TextView path) {
  struct Held : outside::FileHold {
    explicit Held(tolvex::IniHandler& handler) : handler(handler) {}
    ~Held() override { handler.ReleaseFile(); }
    tolvex::IniHandler& handler;
  };
  if (!private_side) return nullptr;
  handler_.HoldFile(Text(path));
  ++holds;
  return std::make_unique<Held>(handler_);
}

}  // namespace fakes

namespace fakes {

void FakeReportViewer::Load() {
  if (loaded) return;
  loaded = true;
  ++loads;
  try {
    viewer::LoadDebugInfoInwindow(list, source_);
  } catch (...) {
    Unload();
    throw;
  }
}

void FakeReportViewer::ShowModeless() {
  Load();
  visible = true;
  ++modeless_shows;
}

void FakeReportViewer::ShowModal() {
  Load();
  visible = modal = true;
  ++modal_shows;
  if (during_modal) during_modal(*this);
  Unload();
}

void FakeReportViewer::ClearList() {
  Load();
  list.Clear();
  ++clears;
}

void FakeReportViewer::Unload() {
  if (!loaded) return;
  loaded = visible = modal = false;
  list = viewer::ReportList();
}

bool FakeOptionsDialog::SetLevelText(TextView text) {
  for (size_t i = 0; i < level_items.size(); ++i)
    if (level_items[i] == text) return level_selected = static_cast<int>(i), true;
  return false;
}

void FakeOptionsDialog::ShowModal() {
  checks.fill(false);  // a fresh load: everything unchecked, nothing selected
  level_items.clear();
  level_selected = -1;
  view_file_tip.clear();
  logic.Load(*this);
  open = true;
  ++openings;
  if (during_modal) during_modal(*this);
  open = false;
}

}  // namespace fakes
