#pragma once
// The platform as Windows provides it: registry settings, objects created by
// ProgID, variant text forms under the user's locale, and message boxes.
#include "component/platform.h"
#include "component/win32/report_file_actions.h"
#include "outside/win32/dispatch_client.h"
#include "settings/win32/registry_settings_store.h"
#include "windows/window_factory.h"

namespace component {

// The platform's conversion to text under the user's locale. The text of the last date
// is kept for the same date: the conversion reads the locale's settings from the
// registry each time, and consecutive messages mostly carry the same second.
class VariantValueFormat : public ValueFormat {
 public:
  Text TextOf(const Value& value) override;

 private:
  double last_date_ = 0;
  Text last_date_text_;
  bool has_last_date_ = false;
};

class Win32MessageBoxes : public MessageBoxes {
 public:
  int Show(TextView text, TextView title, uint32_t style) override;
};

class LocalClock : public Clock {
 public:
  Value::Date Now() override;
};

// Named locks shared by every process of the session, held per process and thread; a
// lock whose holding process ended without giving it back passes to the next taker.
// The report counter's lock is a lock of the report file's own (winkit/file_lock.h).
class SessionLocks : public CrossProcessLocks {
 public:
  std::unique_ptr<Guard> Acquire(TextView name) override;
  std::unique_ptr<Guard> AcquireReportCounter(TextView path) override;
};

struct Win32Platform {
  settings::RegistrySettingsStore settings;
  outside::ComObjectFactory objects;
  VariantValueFormat format;
  Win32MessageBoxes boxes;
  LocalClock clock;
  SessionLocks locks;
  ::windows::Win32WindowFactory windows;
  Win32ReportFileActions files;
  Platform platform{settings, objects, format, boxes, clock, locks, windows, files};
};

}  // namespace component
