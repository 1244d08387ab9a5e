#pragma once
// What the component needs from the platform, behind small interfaces: the
// settings store, automation objects created by ProgID, the text form of values,
// and message boxes. Windows supplies the real ones; native tests supply fakes.
#include <memory>

#include "common/text.h"
#include "outside/automation.h"
#include "settings/options.h"
#include "settings/settings_store.h"

namespace component {

using common::Text;
using common::TextView;
using outside::Value;

// Text forms of automation values under the user's locale.
class ValueFormat {
 public:
  virtual ~ValueFormat() = default;
  // The value converted to text the way the platform converts variants; a null
  // value gives the empty text. Throws common::AutomationError (13) when the value
  // has no text form (an object without a default value, an array).
  virtual Text TextOf(const Value& value) = 0;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A modal box without an owner; `style` is the platform's style value.
  virtual int Show(TextView text, TextView title, uint32_t style) = 0;
};

// The current local date and time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Value::Date Now() = 0;
};

// Locks shared by every process of the user. A lock is held from Acquire until the
// returned guard is destroyed.
class CrossProcessLocks {
 public:
  class Guard {
   public:
    virtual ~Guard() = default;
  };
  virtual ~CrossProcessLocks() = default;
  // A named lock of this machine's session.
  virtual std::unique_ptr<Guard> Acquire(TextView name) = 0;
  // The entry counter's lock of the report file at `path`, kept by the file system for
  // the file itself: every spelling of the path, and every machine that reaches the
  // file, meets the same lock. Creates an empty file when there is none. When the file
  // cannot be opened at all the guard holds nothing, and the INI file handler reports
  // why at its first use of the path. Throws when the lock stays taken too long.
  virtual std::unique_ptr<Guard> AcquireReportCounter(TextView path) = 0;
};

// The live message window: a small window at the screen's top-left corner whose
// only control is a text box holding the latest message line.
class LiveMessageWindow {
 public:
  virtual ~LiveMessageWindow() = default;
  // Shows the window modeless, without an owner; loads it (back at the corner)
  // when it is not loaded. A shown window stays as it is.
  virtual void Show() = 0;
  // Replaces the whole text of the text box.
  virtual void SetText(TextView text) = 0;
};

// What the report viewer reads at each reload: the component's INI file handler and
// report file path as they are at that moment, and the text form of the values read.
struct ReportSource {
  const outside::ObjectRef& ini_handler;
  const Text& report_file_path;
  ValueFormat& format;
};

// The report viewer frmVELKDebuggerA: its list lvDebugInfo shows the entries of the
// report file. Loading creates a new window, hidden, and fills its list afresh,
// unsorted; unloading (the user closes it, or its load fails) destroys the window with
// its rows and their order, so that the next use loads a new one. The object itself
// stays with its owner, also while the window is gone.
class ReportViewer {
 public:
  virtual ~ReportViewer() = default;
  // Loads the window hidden when it is not loaded. A failure of the reload unloads
  // it again and is raised.
  virtual void Load() = 0;
  virtual bool IsLoaded() const = 0;
  virtual bool IsVisible() const = 0;
  // Loads when needed and shows the window without an owner; the call returns at once.
  virtual void ShowModeless() = 0;
  // Loads when needed and shows the window, not visible before, without an owner;
  // returns when it closes.
  virtual void ShowModal() = 0;
  // Loads hidden when needed, then removes every row of the list.
  virtual void ClearList() = 0;
};

// The window system's refusal to show a visible window modally.
inline common::AutomationError AlreadyShownError() {
  return common::AutomationError(400, u"Form already displayed; can't show modally");
}

// The report file as the options dialog acts on it.
class ReportFileActions {
 public:
  virtual ~ReportFileActions() = default;
  // Deletes the file, also when it is read-only. Throws when it cannot.
  virtual void DeleteForced(TextView path) = 0;
  // Opens the file with the program associated with its type, in a maximized window.
  // Throws when the platform refuses.
  virtual void OpenWithAssociatedProgram(TextView path) = 0;
};

// The three windows, each created not loaded. A window's failure that no caller sees
// (F5 in the report viewer, OK in the options dialog) shows the error report in `boxes`.
class WindowFactory {
 public:
  virtual ~WindowFactory() = default;
  virtual std::unique_ptr<LiveMessageWindow> CreateLiveMessageWindow() = 0;
  virtual std::unique_ptr<ReportViewer> CreateReportViewer(const ReportSource& source, MessageBoxes& boxes) = 0;
  // The options dialog over the settings store and `services`.
  virtual std::unique_ptr<settings::OptionsWindow> CreateOptionsDialog(
      settings::SettingsStore& store, std::unique_ptr<settings::OptionsServices> services, MessageBoxes& boxes) = 0;
};

struct Platform {
  settings::SettingsStore& settings;
  outside::ObjectFactory& objects;
  ValueFormat& format;
  MessageBoxes& boxes;
  Clock& clock;
  CrossProcessLocks& locks;
  WindowFactory& windows;
  ReportFileActions& files;
};

}  // namespace component
