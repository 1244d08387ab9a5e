// Speed and memory of the report viewer's rows on large report files, natively: the
// reload (through a double of the INI file handler that makes each line from its key),
// the same rows read by ReportTail from the file's bytes, a filter, Find, a header
// click, and 100 entries appended to the sorted list.
//
//   report_list_bench [entries...]   (default 100000 1000000)
//
// Goals for 1,000,000 entries of about 110 characters: the rows hold well under 300 MB,
// a filter well under 1 s, an append of 100 entries to the sorted list well under 50 ms.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "outside/helper_components.h"
#include "tolvex/ini/ini_text.h"
#include "viewer/report_list.h"
#include "viewer/report_tail.h"

namespace {

using Clock = std::chrono::steady_clock;
using common::Text;
using outside::Value;

double Ms(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

size_t HeapBytes() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// About 110 characters, as the report-file sink writes them.
Text Line(int64_t i) {
  static const char* const modules[] = {"modStore", "clsCustomer", "frmMain", "modPrint"};
  std::string line = std::to_string(i + 1) + ". (dll)  > Ledger > Ledger Desk > 3.2 > " + modules[i % 4] +
                     " > Procedure" + std::to_string((i * 7919) % 1000) + " > message " +
                     std::to_string(i % 977) + " > 12/8/2026 3:45:10 AM";
  return common::FromAscii(line);
}

// The INI file handler's members as the reload calls them, over entries 0..count-1.
class LineHandler : public outside::AutomationObject {
 public:
  explicit LineHandler(int64_t count) : count_(count) {}
  Value Invoke(common::TextView name, outside::CallKind kind, std::span<Value> args) override {
    if (kind == outside::CallKind::PropertyPut) {
      if (name == u"Key") key_ = std::stoll(common::ToUtf8(*args[0].AsText()));
      return Value();
    }
    if (name == u"EnumerateCurrentSection") {
      Value::TextArray names{1, {}};
      names.items.reserve(static_cast<size_t>(count_));
      for (int64_t i = 0; i < count_; ++i) names.items.push_back(common::IntegerText(i));
      args[0] = Value(std::move(names));
      args[1] = Value::I4(static_cast<int32_t>(count_));
      return Value();
    }
    if (name == u"Key") return Value(common::IntegerText(key_));
    return Value(Line(key_));
  }

 private:
  int64_t count_;
  int64_t key_ = 0;
};

void Run(int64_t entries) {
  std::printf("%lld entries, the last one %zu characters: %s\n", static_cast<long long>(entries),
              (common::IntegerText(entries - 1) + u"=" + Line(entries - 1)).size(),
              common::ToUtf8(common::IntegerText(entries - 1) + u"=" + Line(entries - 1)).c_str());
  const size_t heap_before = HeapBytes();
  viewer::ReportList list;
  auto start = Clock::now();
  {
    outside::IniFileHandler ini(std::make_shared<LineHandler>(entries));
    list.Reload(ini, u"report.ini", [](const Value& v) { return *v.AsText(); });
  }
  std::printf("  reload (handler double)      %9.1f ms\n", Ms(start));
  std::printf("  memory: MemoryBytes          %9.1f MB (%.1f bytes a row)\n", list.MemoryBytes() / 1e6,
              static_cast<double>(list.MemoryBytes()) / static_cast<double>(entries));
  std::printf("  memory: heap grown by        %9.1f MB\n", (HeapBytes() - heap_before) / 1e6);

  start = Clock::now();
  list.SetFilter(u"procedure123 ");
  std::printf("  filter, no row               %9.1f ms (%zu shown)\n", Ms(start), list.size());
  start = Clock::now();
  list.SetFilter(u"PROCEDURE123");
  std::printf("  filter, 1 row in 1000        %9.1f ms (%zu shown)\n", Ms(start), list.size());
  start = Clock::now();
  list.SetFilter(u"desk");
  std::printf("  filter, every row            %9.1f ms (%zu shown)\n", Ms(start), list.size());
  start = Clock::now();
  list.SetFilter(u"");
  std::printf("  filter off                   %9.1f ms\n", Ms(start));
  start = Clock::now();
  size_t found = list.Find(u"message 976", viewer::kNotFound, {.whole_word = true});
  std::printf("  Find, whole word, near start %9.1f ms (at %zu)\n", Ms(start), found);
  start = Clock::now();
  found = list.Find(u"no such text", viewer::kNotFound, {});
  std::printf("  Find, nothing found          %9.1f ms\n", Ms(start));

  start = Clock::now();
  list.SortBy(5);
  std::printf("  sort by Module               %9.1f ms\n", Ms(start));
  start = Clock::now();
  list.SortBy(6);
  std::printf("  sort by Procedure            %9.1f ms\n", Ms(start));

  std::vector<viewer::ReportEntry> more;
  for (int64_t i = entries; i < entries + 100; ++i) more.push_back({common::IntegerText(i), Line(i)});
  start = Clock::now();
  list.Append(more);
  std::printf("  append 100, sorted           %9.3f ms (%zu rows)\n", Ms(start), list.size());
  list.SetFilter(u"procedure12");
  for (auto& entry : more) entry.key = common::IntegerText(std::stoll(common::ToUtf8(entry.key)) + 100);
  start = Clock::now();
  size_t shown = list.Append(more);
  std::printf("  append 100, sorted, filtered %9.3f ms (%zu of them shown)\n", Ms(start), shown);
  list.Clear();

  // The same entries read from the report file's bytes, as the viewer follows it.
  std::string file(tolvex::ini::kUtf16LeBom);
  file += tolvex::ini::ToUtf16Le(u"[DebuggerA]\r\nCounter=" + common::IntegerText(entries) +
                                 u"      \r\n[DebuggerAReport]\r\n");
  for (int64_t i = 0; i < entries; ++i)
    file += tolvex::ini::ToUtf16Le(common::IntegerText(i) + u"=" + Line(i) + u"\r\n");
  viewer::ReportList followed;
  viewer::ReportTail tail;
  start = Clock::now();
  constexpr size_t kRead = 1 << 20;  // read in pieces, as from a file
  while (tail.consumed() < file.size()) {
    const size_t at = static_cast<size_t>(tail.consumed());
    auto read = tail.Feed(std::string_view(file).substr(at, kRead), at + kRead >= file.size());
    followed.Append(read);
  }
  std::printf("  read by ReportTail + Append  %9.1f ms (%.1f MB of file, %zu rows)\n", Ms(start), file.size() / 1e6,
              followed.size());
  std::printf("  memory: MemoryBytes          %9.1f MB\n", followed.MemoryBytes() / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int64_t> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoll(argv[i]));
  if (counts.empty()) counts = {100000, 1000000};
  for (int64_t count : counts) Run(count);
  return 0;
}
