#pragma once
// The report viewer's rows as a file: comma-separated values as RFC 4180 writes them, or
// tab-separated text, both in UTF-8 with a byte order mark (so that Excel reads every
// character right), records ended by CR LF, the column headings first.
//
// A field is enclosed in double quotes, each quote in it doubled, when it holds the
// separator, a double quote, CR or LF; in tab-separated text the same rule keeps a tab or
// a line break inside a message (Excel reads both forms so). A lone surrogate, which
// UTF-8 cannot carry, is written as U+FFFD.
#include <functional>
#include <string>
#include <string_view>

#include "viewer/report_list.h"

namespace viewer {

enum class ExportFormat { kCsv, kTabSeparated };

// Appends one field, quoted when it must be, in UTF-8.
void AppendField(std::string& out, TextView field, ExportFormat format);

// Writes the rows as shown (through the filter, in the shown order), every column of the
// list, the headings first. `write` takes the bytes in pieces of about 64 KB, so that a
// million rows never stand in memory twice; whatever it throws ends the writing.
void ExportRows(const ReportList& rows, ExportFormat format, const std::function<void(std::string_view)>& write);

}  // namespace viewer
