#pragma once
// The registry message log as the report viewer lists it: the values of
// ...\Kestrelon\Debugger\DebuggerAReport, each a message line under a key of the
// sequence AAAB, AAAC ... (component/report_key.h), with the co-extra stored under the
// same key in ...\DebuggerAReportCo. A list of kRegistryLogColumnCount columns shows each
// as a report entry does (the key in the ID column), and the co-extra tenth.
#include <vector>

#include "viewer/report_list.h"

namespace viewer {

// A value of a registry key: its name and its text.
struct NamedText {
  Text name;
  Text text;
};

// The entries of the log in the order the messages were logged: the sequence counts
// AAAA ... ZZZZ, then AAAAA, so a shorter key comes first and keys of one length go in
// text order (letter case aside, as registry names compare). DebuggerAKS, which holds the
// last key used, is no entry. Each entry takes the co-extra of its key, when there is one.
std::vector<ReportEntry> RegistryLogEntries(std::vector<NamedText> report, const std::vector<NamedText>& co_extras);

}  // namespace viewer
