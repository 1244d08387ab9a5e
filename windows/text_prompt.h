#pragma once
// A small modal prompt for one line of text, as the platform's dialogs look: a label,
// an edit box, OK and Cancel.
#include <windows.h>

#include <optional>

#include "common/text.h"

namespace windows {

// Shows the prompt owned by `owner` with `initial` selected in its edit box; the typed
// text on OK (or Enter), nothing on Cancel, Escape or the close box. Raises an
// automation error when the platform cannot show it.
std::optional<common::Text> PromptForText(HWND owner, const wchar_t* caption, const wchar_t* label,
                                          common::TextView initial);

}  // namespace windows
