#pragma once
// The platform as Windows provides it, put together: registry settings, objects created
// by ProgID, variant text forms under the user's locale, message boxes, the local clock,
// cross-process locks, the windows and the report file's actions.
#include "component/platform.h"
#include "component/win32/cross_process_locks.h"
#include "component/win32/local_clock.h"
#include "component/win32/message_boxes.h"
#include "component/win32/report_file_actions.h"
#include "component/win32/value_format.h"
#include "outside/win32/dispatch_client.h"
#include "settings/win32/registry_settings_store.h"
#include "windows/window_factory.h"

namespace component {

struct Win32Platform {
  settings::RegistrySettingsStore settings;
  outside::ComObjectFactory objects;
  VariantValueFormat format;
  Win32MessageBoxes boxes;
  LocalClock clock;
  Win32CrossProcessLocks locks;
  ::windows::Win32WindowFactory windows;
  Win32ReportFileActions files;
  Platform platform{settings, objects, format, boxes, clock, locks, windows, files};
};

}  // namespace component
