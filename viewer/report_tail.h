#pragma once
// Reads the report file while it grows. The report-file sink adds an entry at the end
// of the file as a comment line and then turns it on by rewriting its first character,
// so the last lines read may still change: the reader takes only complete lines for
// good, and leaves an open last line and the comment lines after the last entry to be
// read again with the next bytes.
#include <cstdint>
#include <string_view>
#include <vector>

#include "viewer/report_list.h"

namespace viewer {

class ReportTail {
 public:
  // Starts at byte `offset` of the file, inside the section `section` (empty: before
  // the first header).
  explicit ReportTail(uint64_t offset = 0, Text section = {});

  // The file's bytes from consumed() on (UTF-16LE; the byte order mark at offset 0 is
  // skipped). Gives the "name=value" lines of the section "DebuggerAReport" among the
  // lines taken, as the INI file handler reads them: the name without the white space
  // around it, the value as stored (white space and enclosing quotes taken off).
  std::vector<ReportEntry> Feed(std::string_view bytes);

  // Bytes taken for good: where the next Feed starts in the file.
  uint64_t consumed() const { return consumed_; }
  const Text& section() const { return section_; }

 private:
  uint64_t consumed_;
  Text section_;
  bool in_report_;
};

}  // namespace viewer
