// velk10.dll: the in-process server of clsVELKDebuggerA and clsVELK10A, with a context
// per thread that lives until the thread ends (winkit/dll_exports.cpp has the exports).
#include "com/debugger_object.h"
#include "com/thread_context.h"
#include "velk10.h"
#include "winkit/dll_exports.h"

namespace {

const winkit::ClassEntry kClasses[] = {
    {&CLSID_clsVELKDebuggerA, velk::kDebuggerProgId, L"VELK10 debugger", velk::CreateDebuggerObject},
    {&CLSID_clsVELK10A, velk::kLibraryProgId, L"VELK10 library", velk::CreateLibraryObject},
};

}  // namespace

const winkit::DllEntry winkit::kThisDll = {
    {&LIBID_VELK10, 1, 0, kClasses, 2},
    velk::AttachThreadContexts,
    velk::DetachThreadContext,
    velk::DetachThreadContexts,
};
