#pragma once
// Whether a file may be read as a report file, judged by its first bytes: text in one of
// the forms the INI file handler reads (tolvex/ini/ini_text.h), with a section line
// ("[DebuggerA]", "[DebuggerAReport]") among its lines. An empty file is an empty report.
// The report viewer program says so before it lets a dropped picture or document replace
// what it shows.
#include <cstddef>
#include <string_view>

namespace viewer {

// How many first bytes the check reads.
inline constexpr size_t kReportFileHeadBytes = 64 * 1024;

enum class ReportFileHead {
  kIni,        // may be a report file (or is empty)
  kNotText,    // holds a character no text file holds: NUL, or another C0 control but white space
  kNoSection,  // text, but no line of it starts a section
};

// `head`: the file's first bytes, at most kReportFileHeadBytes of them.
ReportFileHead CheckReportFileHead(std::string_view head);

}  // namespace viewer
