// Records N messages named after its tag through the core, for the concurrency test:
//   pipeline_child.exe <count> <tag>
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <string>

#include "component/debug_message.h"
#include "component/debugger_commands.h"
#include "component/win32/platform_win32.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
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
