#pragma once
// Environment variables as the three places Windows keeps them.
#include "common/text.h"

namespace tolvex {

enum class EnvironmentKind : short {
  kUser = 1,     // HKCU\Environment, as stored
  kProcess = 2,  // this process's block
  kMachine = 3,  // the machine's Session Manager\Environment, as stored
};

// The variable's value; empty when it is not set. Stored values come back unexpanded.
// Raises AutomationError 5 for an unknown kind and for a store that cannot be read.
common::Text EnvironmentValue(short kind, const common::Text& name);

}  // namespace tolvex
