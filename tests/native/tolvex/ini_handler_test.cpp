// The INI handler on memory storage: what it stores, what it reads, what it refuses,
// and what each change costs.
#include <gtest/gtest.h>

#include "common/automation_error.h"
#include "ini_test_util.h"
#include "tolvex/ini/ini_handler.h"

namespace tolvex::testing {
namespace {

constexpr char16_t kPath[] = u"C:\\data\\report.ini";

class IniHandlerTest : public ::testing::Test {
 protected:
  IniHandlerTest() {
    disk_.AddFolder(u"C:\\data");
    h_.SetPath(kPath);
  }

  void Set(const char* section, const char* key, const Text& value) {
    h_.SetSection(T(section));
    h_.SetKey(T(key));
    h_.SetValue(value);
  }
  Text Get(const char* section, const char* key) {
    h_.SetSection(T(section));
    h_.SetKey(T(key));
    return h_.Value();
  }
  // One report: read the counter, add a numbered message, store the counter plus one.
  void Report(IniHandler& h, const Text& message) {
    h.SetSection(u"DebuggerA");
    h.SetKey(u"Counter");
    Text counter = h.Value();
    int64_t n = counter.empty() ? 0 : std::stoll(U8(counter));
    h.SetSection(u"DebuggerAReport");
    h.SetKey(common::IntegerText(n));
    h.SetValue(message);
    h.SetSection(u"DebuggerA");
    h.SetKey(u"Counter");
    h.SetValue(common::IntegerText(n + 1));
  }
  std::string File() const { return FileText(disk_, kPath); }

  MemoryIniDisk disk_;
  MemoryIniStorageProvider provider_{disk_};
  IniHandler h_{provider_};
};

// Runs f and returns the automation error it raised (number 0 when none).
template <typename F>
common::AutomationError ErrorOf(F&& f) {
  try {
    f();
  } catch (const common::AutomationError& e) {
    return e;
  }
  return common::AutomationError(0, u"");
}

TEST_F(IniHandlerTest, ReportPatternReadsBack) {
  // The file's exact text after the report pattern: ini_file_test.cpp.
  for (int i = 0; i < 4; ++i) Report(h_, T("msg " + std::to_string(i)));
  EXPECT_EQ(disk_.Bytes(kPath)->substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(Get("DebuggerA", "Counter"), u"4");
  h_.SetSection(u"DebuggerAReport");
  EXPECT_EQ(h_.EnumerateCurrentSection(), (std::vector<Text>{u"0", u"1", u"2", u"3"}));
}

TEST_F(IniHandlerTest, EveryValueReadsBackExactlyAndNothingLeaksIntoTheStructure) {
  std::vector<Text> values = {T("plain"),        T("  blanks  "),   T("\"quoted\""),  T("'single'"),
                              T("[Injected]"),   T("x=y"),          T("; no comment"), T("a\r\n[Evil]\r\nk=v"),
                              T("\nEvil=1"),     Text(u"nul\0!", 5), T("Ελληνικά 中文 😀"), T("\xef\xb7\x90m"),
                              T(""),             T("\t")};
  for (size_t i = 0; i < values.size(); ++i) Set("S", ("k" + std::to_string(i)).c_str(), values[i]);
  Set("After", "x", u"1");
  IniHandler fresh(provider_);
  fresh.SetPath(kPath);
  fresh.SetSection(u"S");
  std::vector<Text> keys = fresh.EnumerateCurrentSection();
  ASSERT_EQ(keys.size(), values.size()) << File();
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(keys[i], common::FromAscii("k" + std::to_string(i)));
    fresh.SetKey(keys[i]);
    EXPECT_EQ(fresh.Value(), values[i]) << i;
  }
  fresh.SetSection(u"Evil");
  EXPECT_TRUE(fresh.EnumerateCurrentSection().empty());
  fresh.SetSection(u"Injected");
  EXPECT_TRUE(fresh.EnumerateCurrentSection().empty());
  EXPECT_EQ(Get("After", "x"), u"1");
}

TEST_F(IniHandlerTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
  Set("Debugger", "Counter", u"1");
  Set("DEBUGGER", "COUNTER", u"2");
  Set("debugger", "Ελληνικά", u"3");
  EXPECT_EQ(Get("dEbUgGeR", "counter"), u"2");
  EXPECT_EQ(Get("Debugger", "ΕΛΛΗΝΙΚΆ"), u"3");
  h_.SetSection(u"debugger");
  EXPECT_EQ(h_.EnumerateCurrentSection(), (std::vector<Text>{u"Counter", T("Ελληνικά")}));
  EXPECT_NE(File().find("[Debugger]"), std::string::npos);
  EXPECT_EQ(File().find("DEBUGGER"), std::string::npos);
}

TEST_F(IniHandlerTest, EnumerationIsEmptyForAnAbsentFileOrSection) {
  h_.SetSection(u"S");
  EXPECT_TRUE(h_.EnumerateCurrentSection().empty());
  h_.SetKey(u"k");
  EXPECT_EQ(h_.Value(), u"");
  EXPECT_FALSE(disk_.HasFile(kPath));  // reading creates nothing
  Set("Other", "k", u"v");
  h_.SetSection(u"S");
  EXPECT_TRUE(h_.EnumerateCurrentSection().empty());
}

TEST_F(IniHandlerTest, BadNamesAndPathsRaiseClearErrorsAndChangeNothing) {
  Set("S", "k", u"kept");
  std::string before = File();
  auto bad_key = ErrorOf([&] { h_.SetKey(u"a=b"); });
  EXPECT_EQ(bad_key.number(), 5);
  EXPECT_NE(U8(bad_key.description()).find("'='"), std::string::npos);
  EXPECT_EQ(h_.Key(), u"k");
  EXPECT_EQ(ErrorOf([&] { h_.SetSection(u"a]"); }).number(), 5);
  EXPECT_EQ(h_.Section(), u"S");

  EXPECT_EQ(ErrorOf([&] { h_.SetPath(u""); }).number(), 52);
  EXPECT_EQ(ErrorOf([&] { h_.SetPath(u"C:\\data\\a?.ini"); }).number(), 52);
  EXPECT_EQ(h_.Path(), kPath);
  EXPECT_EQ(h_.Value(), u"kept");

  h_.SetPath(u"C:\\missing\\x.ini");
  EXPECT_EQ(h_.Value(), u"");
  EXPECT_EQ(ErrorOf([&] { h_.SetValue(u"v"); }).number(), 76);
  EXPECT_FALSE(disk_.HasFile(u"C:\\missing\\x.ini"));

  disk_.AddFolder(u"C:\\data\\folder");
  h_.SetPath(u"C:\\data\\folder");
  EXPECT_EQ(ErrorOf([&] { h_.Value(); }).number(), 75);
  EXPECT_EQ(ErrorOf([&] { h_.SetValue(u"v"); }).number(), 75);

  disk_.SetReadOnly(kPath, true);
  h_.SetPath(kPath);
  auto denied = ErrorOf([&] { h_.SetValue(u"new"); });
  EXPECT_EQ(denied.number(), 70);
  EXPECT_EQ(ErrorOf([&] { Set("Brand new", "k", u"v"); }).number(), 70);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(Get("S", "k"), u"kept");

  IniHandler unset(provider_);
  EXPECT_EQ(ErrorOf([&] { unset.Value(); }).number(), 52);
  unset.SetPath(kPath);
  EXPECT_EQ(ErrorOf([&] { unset.SetValue(u"v"); }).number(), 5);
  unset.SetSection(u"S");
  EXPECT_EQ(ErrorOf([&] { unset.Value(); }).number(), 5);
}

TEST_F(IniHandlerTest, ForeignFilesAreReadAndConvertedWholeOnTheFirstWrite) {
  const std::string ansi = "; settings\r\n[Main]\r\nname=caf\xE9\r\n\r\n[Other]\r\nk = v \r\n";
  const std::string utf8 = "\xEF\xBB\xBF; settings\n[Main]\nname=caf\xC3\xA9\n\n[Other]\nk = v \n";
  const std::string bare = "; settings\r[Main]\rname=caf\xC3\xA9\r\r[Other]\rk = v ";
  for (const std::string& content : {ansi, utf8, bare}) {
    disk_.Put(kPath, content);
    EXPECT_EQ(Get("Main", "name"), T("café"));
    EXPECT_EQ(Get("Other", "k"), u"v");
    Set("Other", "new", T("ñ"));
    EXPECT_EQ(File(),
              ";changes=0000000000000001 rewrites=0000000000000001\r\n; settings\r\n[Main]\r\nname=café\r\n\r\n"
              "[Other]\r\nk = v \r\nnew=ñ\r\n");
    EXPECT_EQ(disk_.Bytes(kPath)->substr(0, 2), "\xFF\xFE");
  }
}

TEST_F(IniHandlerTest, EachHandlerSeesWhatOthersStoredSince) {
  IniHandler other(provider_);
  other.SetPath(kPath);
  other.SetSection(u"S");
  other.SetKey(u"k");
  EXPECT_EQ(other.Value(), u"");
  Set("S", "k", u"1");
  EXPECT_EQ(other.Value(), u"1");
  other.SetValue(u"2");
  EXPECT_EQ(Get("S", "k"), u"2");
  // An in-place update keeps the file's size, and the disk's write time (like a real
  // one's within a tick): only the change count at the file's head tells.
  Set("S", "k", u"3");
  EXPECT_EQ(other.Value(), u"3");
  // Programs that do not use this engine: a rewrite of the same size, then a deletion.
  disk_.Put(kPath, Utf16File(u"[S]\r\nk=9\r\n"));
  EXPECT_EQ(other.Value(), u"9");
  EXPECT_EQ(Get("S", "k"), u"9");
  disk_.Remove(kPath);
  EXPECT_EQ(other.Value(), u"");
  other.SetValue(u"back");
  EXPECT_EQ(Get("S", "k"), u"back");
}

// (A rebuild gives every counter room to grow, as it gives the key it stores.)
TEST_F(IniHandlerTest, ASectionThatGainsAKeyMovesToTheEndUnlessItHasALaterTwin) {
  const std::string head = ";changes=0000000000000001 rewrites=0000000000000001\r\n", room(8, ' ');
  disk_.Put(kPath, Utf16File(u"[A]\r\na=x\r\n\r\n[B]\r\nb=y\r\n"));
  Set("A", "a2", u"2");
  EXPECT_EQ(File(), head + "[B]\r\nb=y\r\n[A]\r\na=x\r\na2=2" + room + "\r\n\r\n");
  disk_.Put(kPath, Utf16File(u"[A]\r\na=1\r\n[B]\r\nb=y\r\n[A]\r\nhidden=x\r\n"));
  Set("A", "a2", u"z");
  EXPECT_EQ(File(), head + "[A]\r\na=1" + room + "\r\na2=z\r\n[B]\r\nb=y\r\n[A]\r\nhidden=x\r\n");
  EXPECT_EQ(Get("A", "hidden"), u"");
}

TEST_F(IniHandlerTest, AppendsAndInPlaceUpdatesCostALineNotTheFile) {
  const Text message = T(std::string(150, 'm'));
  for (int i = 0; i < 3000; ++i) Report(h_, message);
  ASSERT_GT(disk_.Bytes(kPath)->size(), 3000u * 300);
  disk_.counters = {};
  for (int i = 0; i < 10; ++i) Report(h_, message);
  EXPECT_EQ(disk_.counters.loads, 0u);
  EXPECT_EQ(disk_.counters.replaces, 0u);
  // Per report: the message line (~310 bytes), the counter's digits, the change count and
  // the first characters of the appended line.
  EXPECT_LT(disk_.counters.bytes_written, 10u * 400);
  EXPECT_EQ(Get("DebuggerA", "Counter"), u"3010");

  // Reading an unchanged file never reads it again.
  for (int i = 0; i < 5; ++i) Get("DebuggerAReport", "17");
  EXPECT_EQ(disk_.counters.loads, 0u);
}

TEST_F(IniHandlerTest, AValueThatOutgrowsItsLineIsRewrittenOnceWithRoomToGrow) {
  Set("A", "k", u"1");
  Set("B", "x", u"1");
  disk_.counters = {};
  for (int i = 2; i < 1000; ++i) Set("A", "k", common::IntegerText(i));  // a counter has room from the start
  EXPECT_EQ(disk_.counters.replaces, 0u);
  Set("A", "k", T(std::string(40, 'x')));
  EXPECT_EQ(disk_.counters.replaces, 1u);
  Set("A", "k", T(std::string(45, 'y')));
  Set("A", "k", u"short");
  EXPECT_EQ(disk_.counters.replaces, 1u);
  EXPECT_EQ(Get("A", "k"), u"short");
  EXPECT_EQ(Get("B", "x"), u"1");
}

// Wherever a rebuild puts a field, it keeps it inside one block of whole writes (padding
// the line above), so a value that fits its room always goes in place.
TEST_F(IniHandlerTest, AFieldNeverLiesAcrossAWholeWriteBlock) {
  for (size_t filler = 140; filler < 200; ++filler) {  // the field at bytes 416..592
    disk_.Remove(kPath);
    Set("A", "fill", T(std::string(filler, 'f')));
    Set("A", "k", u"x");
    Set("A", "k", T(std::string(20, 'v')));  // outgrows its line: a rebuild gives it room
    const uint64_t rebuilds = disk_.counters.replaces;
    Set("A", "k", T(std::string(21, 'w')));
    EXPECT_EQ(disk_.counters.replaces, rebuilds) << filler;
    EXPECT_EQ(Get("A", "k"), T(std::string(21, 'w')));
  }
}

TEST_F(IniHandlerTest, StoringTheSameValueAgainWritesNothing) {
  Set("S", "k", u"v");
  disk_.counters = {};
  Set("s", "K", u"v");
  EXPECT_EQ(disk_.counters.bytes_written, 0u);
}

}  // namespace
}  // namespace tolvex::testing
