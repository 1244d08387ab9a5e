// Records N messages named after its tag through the core, for the concurrency test:
//   pipeline_child.exe <count> <tag> [plain]
// "plain": the INI file handler is reached through its automation members alone, as
// another maker's handler would be (no private side to hold the file's lock).
//   pipeline_child.exe hold <event>
// takes the registry log's lock, signals the named event and keeps the lock until it is
// killed.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <string>

#include "component/debug_message.h"
#include "component/debugger_commands.h"
#include "component/win32/platform_win32.h"

namespace {

// Forwards the automation members and nothing else.
class MembersOnly : public outside::AutomationObject {
 public:
  explicit MembersOnly(outside::ObjectRef inner) : inner_(std::move(inner)) {}
  outside::Value Invoke(common::TextView name, outside::CallKind kind, std::span<outside::Value> args) override {
    return inner_->Invoke(name, kind, args);
  }

 private:
  outside::ObjectRef inner_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  if (std::wstring(argv[1]) == L"hold") {
    component::Win32CrossProcessLocks locks;
    auto held = locks.Acquire(component::kReportKeyLockName);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready) return 3;
    SetEvent(ready);
    Sleep(INFINITE);
  }
  int count = _wtoi(argv[1]);
  std::wstring tag = argv[2];
  CoInitialize(nullptr);
  int status = 0;
  {
    component::Win32Platform platform;
    component::ModuleState state;
    try {
      component::Debugger debugger(state, platform.platform);
    } catch (...) {
      return 3;
    }
    if (argc > 3 && std::wstring(argv[3]) == L"plain")
      state.ini_handler = std::make_shared<MembersOnly>(state.ini_handler);
    for (int i = 0; i < count; ++i) {
      std::wstring text = tag + L"-" + std::to_wstring(i);
      outside::Value extra, co_extra(common::Text(text.begin(), text.end()));
      component::DebugMessage m{common::Text(text.begin(), text.end()), u"dll", u"child", 1, &extra, &co_extra};
      component::AddDebugMessage(state, platform.platform, m);
    }
    if (state.message_counter != count) status = 4;
  }
  CoUninitialize();
  return status;
}
