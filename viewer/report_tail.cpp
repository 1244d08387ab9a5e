#include "viewer/report_tail.h"

#include "settings/catalog.h"
#include "tolvex/ini/ini_text.h"

namespace viewer {

namespace {

bool IsReportSection(TextView name) {
  return common::EqualsIgnoreAsciiCase(tolvex::ini::TrimIniSpace(name), settings::catalog::kSectionReport);
}

}  // namespace

ReportTail::ReportTail(uint64_t offset, Text section)
    : consumed_(offset), section_(std::move(section)), in_report_(IsReportSection(section_)) {}

std::vector<ReportEntry> ReportTail::Feed(std::string_view bytes) {
  std::vector<ReportEntry> entries;
  size_t skip = 0;
  if (consumed_ == 0) {
    if (bytes.size() < 2) return entries;  // the mark may not be all there yet
    if (bytes.substr(0, 2) == tolvex::ini::kUtf16LeBom) skip = 2;
  }
  const size_t units = (bytes.size() - skip) / 2;
  auto unit = [&](size_t i) {
    return static_cast<char16_t>(static_cast<uint8_t>(bytes[skip + 2 * i]) |
                                 static_cast<uint8_t>(bytes[skip + 2 * i + 1]) << 8);
  };
  Text line;
  size_t taken = 0;      // units taken for good
  bool holding = false;  // comment lines since the last line taken
  for (size_t start = 0; start < units;) {
    size_t end = start;
    while (end < units && unit(end) != u'\r' && unit(end) != u'\n') ++end;
    if (end == units) break;  // no line break yet: the line is not complete
    const size_t next = end + ((unit(end) == u'\r' && end + 1 < units && unit(end + 1) == u'\n') ? 2 : 1);
    line.resize(end - start);
    for (size_t i = start; i < end; ++i) line[i - start] = unit(i);
    start = next;

    TextView content = line;
    size_t lead = 0;
    while (lead < content.size() && tolvex::ini::IsIniSpace(content[lead])) ++lead;
    content.remove_prefix(lead);
    if (content.empty()) {
      if (!holding) taken = next;
      continue;
    }
    if (content.front() == u';') {
      // It may be an append whose first character is still to be turned on.
      holding = true;
      continue;
    }
    holding = false;
    taken = next;
    if (size_t close = content.front() == u'[' ? content.rfind(u']') : TextView::npos; close != TextView::npos) {
      section_ = Text(tolvex::ini::TrimIniSpace(content.substr(1, close - 1)));
      in_report_ = IsReportSection(section_);
      continue;
    }
    const size_t eq = content.find(u'=');
    if (!in_report_ || eq == TextView::npos) continue;
    TextView name = tolvex::ini::TrimIniSpace(content.substr(0, eq));
    if (name.empty()) continue;
    entries.push_back({Text(name), tolvex::ini::DecodeValue(content.substr(eq + 1))});
  }
  consumed_ += skip + 2 * taken;
  return entries;
}

}  // namespace viewer
