#include "component/win32/message_boxes.h"

#include <windows.h>

#include "winkit/wide_text.h"

namespace component {

int Win32MessageBoxes::Show(TextView text, TextView title, uint32_t style) {
  Text body(text), caption(title);
  return MessageBoxW(nullptr, winkit::Wide(body), winkit::Wide(caption), style | MB_TASKMODAL);
}

}  // namespace component
