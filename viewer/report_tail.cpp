#include "viewer/report_tail.h"

#include "settings/catalog.h"
#include "tolvex/ini/ini_text.h"

namespace viewer {

namespace {

// The name between the brackets, as it is: the handler keeps white space inside them.
bool IsReportSection(TextView name) { return tolvex::ini::NamesEqual(name, settings::catalog::kSectionReport); }

}  // namespace

std::vector<ReportEntry> ReportTail::Feed(std::string_view bytes, bool to_end) {
  std::vector<ReportEntry> entries;
  size_t skip = 0;
  if (consumed_ == 0) {
    if (bytes.size() < 2) return entries;  // the mark may not be all there yet
    if (bytes.substr(0, 2) == tolvex::ini::kUtf16LeBom) skip = 2;
  }
  const Text text = tolvex::ini::FromUtf16Le(bytes.substr(skip));
  const size_t units = text.size();
  size_t start = 0;
  while (start < units) {
    size_t end = start;
    while (end < units && text[end] != u'\r' && text[end] != u'\n') ++end;
    // A line break not read yet, or a CR whose LF may follow: the line waits for the next
    // bytes, but the file's last line is all there.
    if (!to_end && (end == units || (text[end] == u'\r' && end + 1 == units))) break;
    const size_t next =
        end == units ? end : end + ((text[end] == u'\r' && end + 1 < units && text[end + 1] == u'\n') ? 2 : 1);
    TextView content = TextView(text).substr(start, end - start);
    start = next;

    size_t lead = 0;
    while (lead < content.size() && tolvex::ini::IsIniSpace(content[lead])) ++lead;
    content.remove_prefix(lead);
    if (content.empty() || content.front() == u';') continue;
    if (size_t close = content.front() == u'[' ? content.rfind(u']') : TextView::npos; close != TextView::npos) {
      if (where_ == Where::kInReport)
        where_ = Where::kAfterReport;
      else if (where_ == Where::kBeforeReport && IsReportSection(content.substr(1, close - 1)))
        where_ = Where::kInReport;
      continue;
    }
    if (where_ != Where::kInReport) continue;
    // As the handler reads a key line: split at the first '='; no '=', no value.
    const size_t eq = content.find(u'=');
    TextView name = tolvex::ini::TrimIniSpace(eq == TextView::npos ? content : content.substr(0, eq));
    if (name.empty()) continue;
    entries.push_back({Text(name), eq == TextView::npos ? Text() : tolvex::ini::DecodeValue(content.substr(eq + 1))});
  }
  consumed_ += skip + 2 * start;
  return entries;
}

std::optional<std::vector<ReportEntry>> ReportTail::ReadOn(std::string_view added,
                                                           const std::optional<tolvex::ChangeCounts>& counts) {
  if (!Holds(counts)) return std::nullopt;
  std::vector<ReportEntry> entries = Feed(added, /*to_end=*/true);
  // A section header after the report section, read just now, means that an in-place
  // change since the last look may have reached the report section's lines.
  if (!Holds(counts)) return std::nullopt;
  counts_ = counts;
  return entries;
}

bool ReportTail::Holds(const std::optional<tolvex::ChangeCounts>& counts) const {
  if (consumed_ == 0) return true;
  if (!counts || !counts_) return false;
  if (counts->rewrites != counts_->rewrites || counts->changes < counts_->changes) return false;
  // The report section is not the file's last: an in-place change may have reached it.
  return where_ != Where::kAfterReport || counts->changes == counts_->changes;
}

}  // namespace viewer
