// tolvex11.dll: the in-process server of clsTolvex11RunTimeA (winkit/dll_exports.cpp has
// the exports).
#include "tolvex/runtime/runtime_object.h"
#include "tolvex11.h"
#include "winkit/dll_exports.h"

namespace {

const winkit::ClassEntry kClasses[] = {
    {&CLSID_clsTolvex11RunTimeA, tolvex::kRuntimeProgId, L"TOLVEX11 run-time support object",
     tolvex::CreateRuntimeObject},
};

}  // namespace

const winkit::DllEntry winkit::kThisDll = {{&LIBID_TOLVEX11, 1, 0, kClasses, 1}, nullptr, nullptr, nullptr};
