#pragma once
// The registry message log's key sequence: AAAA -> AAAB -> ... -> AAAZ -> AABA ...
#include "common/text.h"

namespace component {

// The key after `key`: the rightmost letter that is not Z/z steps up by one, the
// Z/z letters to its right wrap to A/a, and anything that is not a letter is
// passed over. When no letter can step up (all Z/z, no letters, empty), the
// result is one more "A" than `key` has characters.
common::Text NextReportKey(common::TextView key);

}  // namespace component
