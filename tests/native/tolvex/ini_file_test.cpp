// The file as a person reads it after each kind of change: exact text, and how many
// changes needed a rebuild of the whole file.
#include <gtest/gtest.h>

#include <initializer_list>

#include "ini_test_util.h"
#include "tolvex/ini/ini_file.h"

namespace tolvex::testing {
namespace {

using common::TextView;

constexpr char16_t kPath[] = u"report.ini";

struct Set {
  Text section, key, value;
};

struct Case {
  const char* name;
  Text before;              // the file's text before (UTF-16LE with its mark), none when empty
  std::vector<Set> reads;   // values found in it before any change
  std::vector<Set> sets;
  Text after;
  uint64_t rebuilds;
};

Text Rep(char16_t c, size_t n) { return Text(n, c); }
Text Cat(std::initializer_list<TextView> parts) {
  Text out;
  for (TextView part : parts) out.append(part);
  return out;
}

// The report pattern: entry n, then the counter n + 1.
std::vector<Set> Reports(int count) {
  std::vector<Set> sets;
  for (int i = 0; i < count; ++i) {
    sets.push_back({u"DebuggerAReport", common::IntegerText(i), T("msg " + std::to_string(i))});
    sets.push_back({u"DebuggerA", u"Counter", common::IntegerText(i + 1)});
  }
  return sets;
}

TEST(IniFileText, EachChangeLeavesCleanLines) {
  const Case cases[] = {
      {"report pattern from no file: one move of the report section, then appends and the counter in place",
       {},
       {},
       Reports(5),
       u";changes=0000000000000010 rewrites=0000000000000002\r\n[DebuggerA]\r\nCounter=5        \r\n"
       u"[DebuggerAReport]\r\n0=msg 0\r\n1=msg 1\r\n2=msg 2\r\n3=msg 3\r\n4=msg 4\r\n",
       2},
      {"a counter starts with room; a value that outgrows it gets a field with room; what fits goes in place",
       {},
       {},
       {{u"S", u"k", u"9"},
        {u"S", u"k", u"10"},
        {u"S", u"k", u"1234567890"},
        {u"S", u"k", u"7"},
        {u"S", u"k", u"12345678901"}},
       Cat({u";changes=0000000000000005 rewrites=0000000000000005\r\n[S]\r\nk=12345678901", Rep(u' ', 7), u"\r\n"}),
       2},
      {"a value too long for one whole write is never written in place",
       {},
       {},
       {{u"S", u"k", Rep(u'a', 300)}, {u"S", u"k", Rep(u'b', 300)}},
       Cat({u";changes=0000000000000002 rewrites=0000000000000002\r\n[S]\r\nk=", Rep(u'b', 300), u"\r\n"}),
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryIniDisk disk;
    if (!c.before.empty()) disk.Put(kPath, Utf16File(c.before));
    MemoryIniStorageProvider provider(disk);
    IniFile file(provider.Open(kPath));
    for (const Set& r : c.reads) EXPECT_EQ(U8(file.Get(r.section, r.key)), U8(r.value));
    for (const Set& s : c.sets) file.Set(s.section, s.key, s.value);
    EXPECT_EQ(FileText(disk, kPath), U8(c.after));
    EXPECT_EQ(disk.counters.replaces, c.rebuilds);
    IniFile fresh(provider.Open(kPath));
    for (const Set& s : c.sets) EXPECT_EQ(U8(fresh.Get(s.section, s.key)), U8(file.Get(s.section, s.key)));
    EXPECT_EQ(U8(fresh.Get(c.sets.back().section, c.sets.back().key)), U8(c.sets.back().value));
  }
}

}  // namespace
}  // namespace tolvex::testing
