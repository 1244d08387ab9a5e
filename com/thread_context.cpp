#include "com/thread_context.h"

#include <new>

#include "common/automation_error.h"
#include "winkit/module.h"

namespace velk {

namespace {

DWORD g_slot = TLS_OUT_OF_INDEXES;

}  // namespace

void AttachThreadContexts() { g_slot = TlsAlloc(); }

ThreadContext& CurrentThreadContext() {
  if (g_slot == TLS_OUT_OF_INDEXES) throw common::AutomationError(7, u"Out of memory");
  auto* context = static_cast<ThreadContext*>(TlsGetValue(g_slot));
  if (!context) {
    context = new ThreadContext();
    TlsSetValue(g_slot, context);
    // Windows of this library may outlive every object (a modeless viewer, the live
    // window) and the state holds objects of other components: the library stays
    // loaded for the rest of the process once a thread has used it.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&AttachThreadContexts), &pinned);
  }
  return *context;
}

void DetachThreadContext() {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  auto* context = static_cast<ThreadContext*>(TlsGetValue(g_slot));
  if (!context) return;
  TlsSetValue(g_slot, nullptr);
  delete context;  // closes the thread's windows, releases the objects it held
}

void DetachThreadContexts(bool process_ending) {
  // At process end other libraries may already be gone: leave everything as it is.
  if (!process_ending) DetachThreadContext();
  if (g_slot != TLS_OUT_OF_INDEXES && !process_ending) TlsFree(g_slot);
}

}  // namespace velk
