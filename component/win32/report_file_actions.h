#pragma once
// The report file as the options dialog acts on it, on Windows: deleting it also when
// it is read-only, and opening it with the program associated with its type.
#include "component/platform.h"

namespace component {

class Win32ReportFileActions : public ReportFileActions {
 public:
  void DeleteForced(TextView path) override;
  // Through the shell's "open" verb, maximized. The path is never run as a command
  // line: a data file opens in its program, and a path with blanks cannot start
  // another program named by its first part.
  void OpenWithAssociatedProgram(TextView path) override;
};

}  // namespace component
