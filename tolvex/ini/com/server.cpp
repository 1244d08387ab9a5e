// tolvex10.dll: the in-process server of clsTolvexINIFileHandler1A (winkit/dll_exports.cpp
// has the exports).
#include "tolvex/ini/com/ini_handler_object.h"
#include "tolvex10.h"
#include "winkit/dll_exports.h"

namespace {

const winkit::ClassEntry kClasses[] = {
    {&CLSID_clsTolvexINIFileHandler1A, tolvex::kIniHandlerProgId, L"TOLVEX10 INI file handler object",
     tolvex::CreateIniHandlerObject},
};

}  // namespace

const winkit::DllEntry winkit::kThisDll = {{&LIBID_TOLVEX10, 1, 0, kClasses, 1}, nullptr, nullptr, nullptr};
