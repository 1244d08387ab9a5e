#pragma once
// What every debugger object on one thread shares: the module state and the
// platform services it runs on. Objects on different threads share nothing.
#include "component/module_state.h"
#include "component/win32/platform_win32.h"

namespace velk {

struct ThreadContext {
  component::Win32Platform platform;
  component::ModuleState state;
};

// The calling thread's context, created on first use.
ThreadContext& CurrentThreadContext();

// Library load and unload, thread end (from DllMain).
void AttachThreadContexts();
void DetachThreadContext();  // the calling thread ends
void DetachThreadContexts(bool process_ending);

}  // namespace velk
