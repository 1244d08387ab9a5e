// A process killed at any byte of any write (a whole write, ini_storage.h, at its start
// or its end) leaves a file that parses, holds every change that completed before, and
// takes further changes normally.
#include <gtest/gtest.h>

#include <map>

#include "ini_test_util.h"
#include "tolvex/ini/ini_document.h"
#include "tolvex/ini/ini_handler.h"

namespace tolvex::testing {
namespace {

constexpr char16_t kPath[] = u"state.ini";

struct Op {
  Text section, key, value;
};

// section (folded) -> keys (folded) -> value, for every key readers can reach.
using State = std::map<Text, std::map<Text, Text>>;

State Expected(const std::vector<Op>& ops, size_t count) {
  State state;
  for (size_t i = 0; i < count; ++i) state[ini::FoldName(ops[i].section)][ini::FoldName(ops[i].key)] = ops[i].value;
  return state;
}

State Expected(const State& initial, const std::vector<Op>& ops, size_t count) {
  State state = initial;
  for (auto& [section, keys] : Expected(ops, count))
    for (auto& [key, value] : keys) state[section][key] = value;
  return state;
}

// What any reader finds in the file, straight from its bytes.
State Found(const MemoryIniDisk& disk) {
  State state;
  auto bytes = disk.Bytes(kPath);
  if (!bytes) return state;
  ini::IniDocument doc;
  doc.Assign(ini::DecodeFile(*bytes).text);
  for (const auto& block : doc.blocks()) {
    if (block.header == ini::kNone || block.shadowed) continue;
    for (const auto& key : block.keys) state[ini::FoldName(block.name)][ini::FoldName(key.name)] = doc.ValueOf(key);
  }
  return state;
}

void Apply(IniHandler& h, const Op& op) {
  h.SetSection(op.section);
  h.SetKey(op.key);
  h.SetValue(op.value);
}

std::vector<Op> ReportOps(int reports, int first = 0) {
  std::vector<Op> ops;
  for (int i = first; i < first + reports; ++i) {
    ops.push_back({u"DebuggerAReport", common::IntegerText(i), T("message number " + std::to_string(i))});
    ops.push_back({u"DebuggerA", u"Counter", common::IntegerText(i + 1)});
  }
  return ops;
}

// Every key of `state` as `h` reads it now.
State Read(IniHandler& h, const State& state) {
  State read;
  for (const auto& [section, keys] : state)
    for (const auto& [key, value] : keys) {
      h.SetSection(section);
      h.SetKey(key);
      read[section][key] = h.Value();
    }
  return read;
}

// Kills the writer at every byte of the run; checks the file after each kill (also as a
// handler that read the file before the change under way sees it) and then lets a new
// writer finish the run on it.
void SweepKillPoints(const std::string& initial, const std::vector<Op>& ops) {
  MemoryIniDisk probe;
  if (!initial.empty()) probe.Put(kPath, initial);
  const State before = Found(probe);
  {
    MemoryIniStorageProvider provider(probe);
    IniHandler h(provider);
    h.SetPath(kPath);
    for (const Op& op : ops) Apply(h, op);
  }
  const uint64_t total = probe.counters.bytes_written;
  ASSERT_EQ(Found(probe), Expected(before, ops, ops.size()));

  for (uint64_t budget = 0; budget <= total; ++budget) {
    MemoryIniDisk disk;
    if (!initial.empty()) disk.Put(kPath, initial);
    MemoryIniStorageProvider provider(disk);
    IniHandler watcher(provider);  // another process's handler, its image read after each change
    watcher.SetPath(kPath);
    size_t done = 0;
    {
      IniHandler h(provider);
      h.SetPath(kPath);
      disk.kill_budget = budget;
      try {
        for (; done < ops.size(); ++done) {
          Apply(h, ops[done]);
          Read(watcher, Expected(before, ops, ops.size()));  // its image: the file as it stands
        }
      } catch (const SimulatedKill&) {
      }
      disk.kill_budget.reset();
    }
    State found = Found(disk);
    bool old_or_new = found == Expected(before, ops, done) ||
                      (done < ops.size() && found == Expected(before, ops, done + 1));
    ASSERT_TRUE(old_or_new) << "killed after " << budget << " bytes, in change " << done << "\n"
                            << FileText(disk, kPath);
    // The file's change count tells the other handler that its image is old.
    State all = Expected(before, ops, ops.size());
    for (auto& [section, keys] : found)
      for (auto& [key, value] : keys) all[section][key];
    State seen = Read(watcher, all), fresh = all;
    for (auto& [section, keys] : fresh)
      for (auto& [key, value] : keys)
        value = found.count(section) && found[section].count(key) ? found[section][key] : Text();
    ASSERT_EQ(seen, fresh) << "a handler that read the file before a kill at byte " << budget;

    IniHandler next(provider);
    next.SetPath(kPath);
    for (size_t i = done; i < ops.size(); ++i) Apply(next, ops[i]);
    ASSERT_EQ(Found(disk), Expected(before, ops, ops.size())) << "after a kill at byte " << budget;
    // The handler's own view agrees with the bytes.
    for (const Op& op : ops) {
      next.SetSection(op.section);
      next.SetKey(op.key);
      ASSERT_EQ(next.Value(), Expected(before, ops, ops.size())[ini::FoldName(op.section)][ini::FoldName(op.key)]);
    }
  }
}

TEST(IniCrashSafety, ReportPatternFromNoFile) {
  // Creation, a new section, a section move, in-place updates, appends.
  SweepKillPoints("", ReportOps(6));
}

TEST(IniCrashSafety, GrowthNewSectionsAndAwkwardNamesAndValues) {
  std::vector<Op> ops = ReportOps(3);
  ops.push_back({u"DebuggerA", u"Counter", T(std::string(30, '9'))});  // outgrows its line
  ops.push_back({u"DebuggerA", u"Counter", u"7"});
  ops.push_back({u"Other", T("ключ"), T("Ελληνικά 😀")});             // turned on by a whole 'к'
  ops.push_back({u"Other", u"lines", T("a\r\n[Evil]\r\nx=1\n")});
  ops.push_back({u"DebuggerA", u"second", u" padded "});            // moves DebuggerA
  ops.push_back({u"Other", T("ключ"), T("short")});                 // in place
  ops.push_back({u"Other", T("ключ"), T("shorter")});
  SweepKillPoints("", ops);
}

TEST(IniCrashSafety, NonLatinValuesWhoseLowBytesAreLineBreaks) {
  // Characters such as U+4E0D, U+4E0A, U+010D, U+040A, U+0A0D and the low surrogates of
  // U+1F60D and U+1F60A have CR or LF as their low byte; they go over older ASCII values
  // that hold structure ("[T]"), in place and in torn appends.
  const Text breaks = u"\u4E0D\u4E0A\u010D\u040A\u0A0D\U0001F60D\U0001F60A";
  std::vector<Op> ops = {
      {u"S", u"a", u"12345678"},
      {u"S", u"b", u"[T]x=1"},
      {u"S", u"a", u"x"},              // in place
      {u"S", u"a", u"y[T]z=2"},
      {u"S", u"a", u"ok"},
      {u"S", u"a", breaks},            // over "y[T]z=2"
      {u"S", u"a", u"[T]w=3"},
      {u"S", u"a", T("中文字符😀") + breaks},
      {u"S", u"a", u"\u0A0A\u0D0D"},
      {u"S", u"\u4E0D", u"\u4E0A\u0A0D"},  // appends: a new key, then a new section
      {u"\u010D\u4E0D", u"\u040A", breaks},
  };
  SweepKillPoints("", ops);
}

TEST(IniCrashSafety, ForeignFileWithOpenLastLineAndTornTail) {
  // A UTF-8 file is converted first; a UTF-16 file ending in half a line and half a
  // character is appended to on a fresh line.
  SweepKillPoints("; kept\n[DebuggerA]\nCounter=41\n[DebuggerAReport]\n40=old", ReportOps(3, 41));
  std::string torn = Utf16File(u"[DebuggerA]\r\nCounter=3\r\n[DebuggerAReport]\r\n2=last\r\n;3=parti") + "x";
  SweepKillPoints(torn, ReportOps(3, 3));
}

TEST(IniCrashSafety, LongLinesAppendedAcrossWholeWriteBlocks) {
  // Appended lines that cross a 512-byte block, or are longer than one: killed half-way,
  // they leave at most a comment.
  std::vector<Op> ops = {{u"S", u"first", T(std::string(200, 'a'))}};
  for (int i = 0; i < 4; ++i) ops.push_back({u"S", common::IntegerText(i), T(std::string(170 + 90 * i, 'b'))});
  SweepKillPoints("", ops);
}

TEST(IniCrashSafety, ANativeFileEndingInAnOpenLine) {
  // Of this engine's form, its last line torn off: the next key goes on a line of its own.
  SweepKillPoints(Utf16File(u";changes=0000000000000004 rewrites=0000000000000001\r\n[DebuggerA]\r\n"
                            u"Counter=3        \r\n[DebuggerAReport]\r\n2=last\r\n;3=parti"),
                  ReportOps(2, 3));
}

}  // namespace
}  // namespace tolvex::testing
