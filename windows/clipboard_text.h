#pragma once
// Text onto the clipboard, as the report viewer's Copy puts it there.
#include <windows.h>

#include "common/text.h"

namespace windows {

// Replaces the clipboard's content with `text` (CF_UNICODETEXT). False when the
// clipboard cannot be had (another program holds it open) or memory runs out.
bool PutTextOnClipboard(HWND owner, common::TextView text);

}  // namespace windows
