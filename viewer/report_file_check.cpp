#include "viewer/report_file_check.h"

#include "tolvex/ini/ini_text.h"

namespace viewer {

ReportFileHead CheckReportFileHead(std::string_view head) {
  namespace ini = tolvex::ini;
  const common::Text text = ini::DecodeFile(head).text;
  bool section = false, line_start = true;
  for (char16_t c : text) {
    if (c < 0x20 && !ini::IsIniSpace(c)) return ReportFileHead::kNotText;
    if (c == u'\r' || c == u'\n') {
      line_start = true;
    } else if (line_start && !ini::IsIniSpace(c)) {
      section |= c == u'[';
      line_start = false;
    }
  }
  return section || text.empty() ? ReportFileHead::kIni : ReportFileHead::kNoSection;
}

}  // namespace viewer
