// Reading the report file, whole or as it grows: complete lines taken within a read and
// the last line at the file's end; the reading rule of the INI file handler; and a
// followed list that always equals a fresh load, whatever changed the file.
#include <gtest/gtest.h>

#include <random>

#include "fakes.h"
#include "tolvex/ini/ini_document.h"
#include "tolvex/ini/ini_file.h"
#include "tolvex/ini/ini_text.h"
#include "viewer/report_tail.h"

using common::Text;
using viewer::ReportList;

namespace {

std::string File(const Text& text) { return std::string(tolvex::ini::kUtf16LeBom) + tolvex::ini::ToUtf16Le(text); }

std::vector<Text> Fed(viewer::ReportTail& tail, std::string_view bytes, bool to_end) {
  std::vector<Text> out;
  for (const viewer::ReportEntry& e : tail.Feed(bytes.substr(tail.consumed()), to_end))
    out.push_back(e.key + u"=" + e.value);
  return out;
}

// The file as it stood at several moments, read on from consumed() each time, the last
// one to its end: the entries given in all.
TEST(ReportTail, TakesCompleteLinesWithinAReadAndTheLastLineAtTheEnd) {
  const Text head = u"[DebuggerA]\r\nCounter=2      \r\n[DebuggerAReport]\r\n";
  const std::string whole = File(head + u"0=a > č\r\n1=c > \U0001F600\r\n");
  const size_t pair = whole.size() - 6;     // between the two halves of the emoji's surrogate pair
  const size_t c_with = whole.size() - 22;  // after the first byte of "č" (whose low byte is a CR's)
  const struct {
    const char* name;
    std::vector<std::string> moments;  // all but the last read short of the end
    std::vector<Text> entries;
  } cases[] = {
      {"lines split anywhere",
       {whole.substr(0, 1), whole.substr(0, 31), whole.substr(0, c_with), whole.substr(0, c_with + 1),
        whole.substr(0, pair - 1), whole.substr(0, pair), whole.substr(0, pair + 1), whole.substr(0, whole.size() - 1),
        whole},
       {u"0=a > č", u"1=c > \U0001F600"}},
      {"a last line without a line break, then more",
       {File(head + u"0=a\r\n1=torn"), File(head + u"0=a\r\n1=torn\r\n2=b\r\n")},
       {u"0=a", u"1=torn", u"2=b"}},
      {"as the handler reads: the first report section, no white space inside brackets, a key without '='",
       {File(u"x=before\r\n[ DebuggerAReport ]\r\n9=no\r\n[debuggerareport]\r\n0=\" a \"\r\n; 1=comment\r\n"
             u"  1 = b \r\nbare\r\n[Other]\r\nk=v\r\n[DebuggerAReport]\r\n2=twin\r\n")},
       {u"0= a ", u"1=b", u"bare="}},
  };
  for (const auto& c : cases) {
    viewer::ReportTail tail;
    std::vector<Text> entries;
    for (size_t i = 0; i < c.moments.size(); ++i) {
      const bool last = i + 1 == c.moments.size() || c.moments[i] != c.moments.back().substr(0, c.moments[i].size());
      ASSERT_LE(tail.consumed(), c.moments[i].size()) << c.name;
      for (Text& e : Fed(tail, c.moments[i], last)) entries.push_back(std::move(e));
    }
    EXPECT_EQ(entries, c.entries) << c.name;
    EXPECT_EQ(tail.consumed(), c.moments.back().size()) << c.name;
  }
}

// The rows of a list, every cell, as shown.
std::vector<std::vector<Text>> Rows(const ReportList& list) {
  std::vector<std::vector<Text>> rows;
  for (size_t i = 0; i < list.size(); ++i) {
    rows.emplace_back();
    for (int c = 0; c < viewer::kReportColumnCount; ++c) rows.back().emplace_back(list.Cell(i, c));
  }
  return rows;
}

// The viewer's reader and the INI file handler's parser agree on every file: random files
// of headers, keys, comments and blanks with every kind of line break give the same rows.
TEST(ReportTail, ReadsEveryFileAsTheIniFileHandlerReadsIt) {
  const std::vector<Text> headers = {
      u"[DebuggerAReport]", u"[debuggerareport]", u"[ DebuggerAReport ]", u"  [DebuggerAReport] x", u"[DebuggerA]",
      u"[Other]",           u"[unclosed"};
  const std::vector<Text> names = {u"0", u"1", u" 2 ", u"02", u"x", u"X", u"Ж", u"ж", u"a b"};
  const std::vector<Text> values = {u"v > w > x", u" spaced ", u"\"quoted\"", u"", u"a=b", u"č > \U0001F600", u";v"};
  const std::vector<Text> breaks = {u"\r\n", u"\n", u"\r"};
  std::mt19937 random(20261210);
  auto pick = [&](const std::vector<Text>& from) { return from[random() % from.size()]; };
  for (int file = 0; file < 400; ++file) {
    Text text;
    const int lines = 1 + static_cast<int>(random() % 14);
    for (int i = 0; i < lines; ++i) {
      switch (random() % 6) {
        case 0:
          text += pick(headers);
          break;
        case 1:
          text += u";" + pick(names);
          break;
        case 2:
          text += random() % 2 ? u"" : u"  ";
          break;
        case 3:
          text += pick(names);
          break;
        default:
          text += pick(names) + (random() % 2 ? u"=" : u" = ") + pick(values);
          break;
      }
      if (i + 1 < lines || random() % 2) text += pick(breaks);
    }
    SCOPED_TRACE(common::ToUtf8(text));
    tolvex::ini::IniDocument document;
    document.Assign(text);
    ReportList by_handler, by_tail;
    by_handler.Reload([&](const ReportList::Add& add) {
      std::vector<viewer::ReportEntry> entries;
      if (size_t block = document.FindSection(u"DebuggerAReport"); block != tolvex::ini::kNone)
        for (const auto& key : document.blocks()[block].keys) entries.push_back({key.name, document.ValueOf(key)});
      add(std::move(entries));
    });
    by_tail.Reload([&](const ReportList::Add& add) {
      viewer::ReportTail tail;
      add(tail.Feed(File(text), true));
    });
    ASSERT_EQ(Rows(by_tail), Rows(by_handler));
  }
}

// A viewer following the report file, as the window's follow step does it: a look reads
// on from where the last one stopped while the file's counts allow, and reads it whole
// again otherwise (or when the file is another one). After every change, whatever it was,
// the followed rows equal a fresh load, sorted and filtered alike.
class Follower {
 public:
  explicit Follower(bool sorted) {
    if (sorted) {
      list_.SortBy(5);
      list_.SetFilter(u"e");
    }
  }
  void Look(const std::optional<std::string>& bytes, int generation) {
    const std::string file = bytes ? bytes->substr(0, bytes->size() & ~size_t{1}) : std::string();
    if (bytes && generation == generation_ && file.size() >= tail_.consumed()) {
      if (auto added =
              tail_.ReadOn(std::string_view(file).substr(tail_.consumed()), tolvex::ChangeCountsOfHead(file))) {
        list_.Append(*added);
        return;
      }
    }
    generation_ = generation;
    tail_ = viewer::ReportTail();
    list_.Reload([&](const ReportList::Add& add) {
      if (bytes) add(tail_.Feed(file, true));
    });
    tail_.Note(tolvex::ChangeCountsOfHead(file));
  }
  const ReportList& list() const { return list_; }
  int wholes = 0;

 private:
  ReportList list_;
  viewer::ReportTail tail_;
  int generation_ = -1;
};

TEST(ReportFollow, TheFollowedRowsEqualAFreshLoadAfterAnyChange) {
  const Text path = u"C:\\r\\velkbug.ini";
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    tolvex::MemoryIniDisk disk;
    disk.AddFolder(u"C:\\r");
    tolvex::MemoryIniStorageProvider provider(disk);
    tolvex::IniHandler h(provider);
    h.SetPath(path);
    auto set = [&](const Text& section, const Text& key, const Text& value) {
      h.SetSection(section);
      h.SetKey(key);
      h.SetValue(value);
    };
    auto report = [&](const Text& message) {  // as the report-file sink writes a message
      h.HoldFile(path);
      h.SetSection(u"DebuggerA");
      h.SetKey(u"Counter");
      const Text counter = h.Value();
      const int64_t n = counter.empty() ? 0 : std::stoll(common::ToUtf8(counter));
      set(u"DebuggerAReport", common::IntegerText(n), message);
      set(u"DebuggerA", u"Counter", common::IntegerText(n + 1));
      h.ReleaseFile();
    };
    std::mt19937 random(seed);
    Follower plain(false), sorted(true);
    int generation = 0;
    for (int step = 0; step < 300; ++step) {
      const Text tag = common::IntegerText(step);
      const Text entry = common::IntegerText(static_cast<int64_t>(random() % 8));
      const uint32_t op = random() % 20;
      if (op < 11)
        report(u"7. (dll)  > App > Desk > 1.0 > mod" + tag + u" > step " + tag + u" > - > now");
      else if (op == 11)
        set(u"DebuggerAReport", entry, u"changed " + tag);  // in place, or a rebuild
      else if (op == 12)
        set(u"DebuggerAReport", entry, Text(200, u'x') + tag);  // outgrows its line
      else if (op == 13)
        set(u"DebuggerA", u"Other" + tag, tag);  // an earlier section grows
      else if (op == 14)
        set(u"Extra" + tag, u"k", u"v");  // a section after the report
      else if (op == 15)
        set(u"DebuggerA", u"Counter", entry);  // numbering from an old entry
      else if (op == 16) {
        disk.Remove(path);
        ++generation;
      }                     // deleted
      else if (op == 17) {  // another program's file
        disk.Put(path, File(u"[DebuggerAReport]\r\n0=a > b > c > d > e > step " + tag + u"\r\n"));
        ++generation;
      } else if (op == 18)
        report(u"");  // a rejected message
      else
        set(u"DebuggerAReport", entry + u"0", u"by key " + tag);  // a key out of order
      const std::optional<std::string> bytes = disk.Bytes(path);
      for (Follower* follower : {&plain, &sorted}) {
        follower->Look(bytes, generation);
        Follower fresh(follower == &sorted);
        fresh.Look(bytes, generation);
        ASSERT_EQ(Rows(follower->list()), Rows(fresh.list())) << "step " << step << ", op " << op;
      }
    }
  }
}

}  // namespace
