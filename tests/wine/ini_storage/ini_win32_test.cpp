// The INI handler on Win32 files, checked against the platform's own profile reader.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/automation_error.h"
#include "tolvex/ini/ini_file.h"
#include "tolvex/ini/win32_ini_storage.h"
#include "winkit/file_lock.h"
#include "win32_test_util.h"

namespace tolvex::wintest {
namespace {

class IniWin32Test : public ::testing::Test {
 protected:
  IniWin32Test() : path_(folder_.File("test.ini")) { h_.SetPath(path_); }

  void Set(IniHandler& h, const Text& section, const Text& key, const Text& value) {
    h.SetSection(section);
    h.SetKey(key);
    h.SetValue(value);
  }
  Text Get(IniHandler& h, const Text& section, const Text& key) {
    h.SetSection(section);
    h.SetKey(key);
    return h.Value();
  }

  TempFolder folder_;
  Text path_;
  IniHandler h_{Win32IniStorageProvider::Instance()};
};

template <typename F>
int ErrorNumber(F&& f) {
  try {
    f();
  } catch (const common::AutomationError& e) {
    return e.number();
  }
  return 0;
}

TEST_F(IniWin32Test, TheProfileReaderSeesEveryValueExactly) {
  std::vector<Text> values = {T("plain"), T("Ελληνικά"), T("中文字符"), T("emoji 😀🎉 pair"), T("  blanks  "),
                              T("\"quoted\""), T("'single'"), T("[Section]"), T("a=b=c"), T("; not a comment"),
                              T("in\ttab"), T("\ttab\t"), T("\xe3\x80\x80wide space\xe3\x80\x80"), T("")};
  for (size_t i = 0; i < values.size(); ++i) Set(h_, u"Values", common::IntegerText(int64_t(i)), values[i]);
  Set(h_, u"Values", u"Counter", u"1");
  Set(h_, u"Other", u"x", u"1");
  Set(h_, u"Values", u"Counter", u"2");  // in place
  Set(h_, u"Values", u"Counter", u"10");  // outgrows its line: a rebuild with room
  Set(h_, u"Values", u"Counter", u"3");   // in place, blanks over the rest
  IniHandler fresh(Win32IniStorageProvider::Instance());
  fresh.SetPath(path_);
  for (size_t i = 0; i < values.size(); ++i) {
    Text key = common::IntegerText(int64_t(i));
    EXPECT_EQ(U8(ProfileRead(path_, u"Values", key)), U8(values[i])) << i;
    EXPECT_EQ(U8(Get(fresh, u"Values", key)), U8(values[i])) << i;
  }
  EXPECT_EQ(ProfileRead(path_, u"VALUES", u"counter"), u"3");
  EXPECT_EQ(ProfileRead(path_, u"Other", u"x"), u"1");
  std::vector<Text> keys = fresh.EnumerateCurrentSection();
  EXPECT_EQ(ProfileKeys(path_, u"Values"), keys);
  EXPECT_EQ(ReadBytes(path_).substr(0, 2), "\xFF\xFE");
}

TEST_F(IniWin32Test, LineBreaksInAValueInjectNothingTheProfileReaderCouldSee) {
  Text evil = T("first\r\n[Evil]\r\nInjected=1\r\nsecond");
  Set(h_, u"S", u"k", evil);
  Set(h_, u"S", u"nl", T("x\nInjected=2"));
  Set(h_, u"S", u"nul", Text(u"a\0b", 3));
  EXPECT_EQ(Get(h_, u"S", u"k"), evil);
  EXPECT_EQ(Get(h_, u"S", u"nul"), Text(u"a\0b", 3));
  EXPECT_EQ(ProfileSections(path_), std::vector<Text>{u"S"});
  EXPECT_EQ(ProfileKeys(path_, u"S"), (std::vector<Text>{u"k", u"nl", u"nul"}));
  EXPECT_EQ(ProfileRead(path_, u"S", u"Injected"), u"<absent>");
  EXPECT_EQ(ProfileRead(path_, u"Evil", u"Injected"), u"<absent>");
}

TEST_F(IniWin32Test, TheReportPatternReadsBackThroughTheProfileReader) {
  for (int i = 0; i < 60; ++i) Report(h_);
  EXPECT_EQ(ProfileRead(path_, u"DebuggerA", u"Counter"), u"60");
  EXPECT_EQ(ProfileKeys(path_, u"DebuggerA"), std::vector<Text>{u"Counter"});
  std::vector<Text> keys = ProfileKeys(path_, u"DebuggerAReport");
  ASSERT_EQ(keys.size(), 60u);
  for (int64_t i = 0; i < 60; ++i) {
    EXPECT_EQ(keys[size_t(i)], common::IntegerText(i));
    EXPECT_EQ(ProfileRead(path_, u"DebuggerAReport", common::IntegerText(i)), ReportMessage(i));
  }
}

TEST_F(IniWin32Test, InstancesAndOtherProgramsSeeEachOthersChanges) {
  IniHandler other(Win32IniStorageProvider::Instance());
  other.SetPath(path_);
  EXPECT_EQ(Get(other, u"S", u"k"), u"");
  Set(h_, u"S", u"k", u"1");
  EXPECT_EQ(other.Value(), u"1");
  other.SetValue(u"2");
  EXPECT_EQ(Get(h_, u"S", u"k"), u"2");
  h_.SetValue(u"3");  // in place
  EXPECT_EQ(other.Value(), u"3");
  // The platform's writer rewrites the file its own way; both instances follow.
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"profile", W(path_).c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"added", L"by profile", W(path_).c_str()));
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, W(path_).c_str());
  EXPECT_EQ(other.Value(), u"profile");
  EXPECT_EQ(Get(h_, u"S", u"added"), u"by profile");
  Set(h_, u"S", u"k", u"after");
  EXPECT_EQ(Get(other, u"S", u"k"), u"after");
  EXPECT_EQ(ProfileRead(path_, u"S", u"added"), u"by profile");
}

TEST_F(IniWin32Test, FilesInOtherEncodingsAreReadAndConvertedOnTheFirstChange) {
  WriteBytes(path_, "; comment\r\n[Main]\r\nname=caf\xE9\r\nother = x \r\n");
  EXPECT_EQ(Get(h_, u"Main", u"name"), T("café"));
  Set(h_, u"Main", u"added", T("Ελ"));
  EXPECT_EQ(ReadBytes(path_).substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(ProfileRead(path_, u"Main", u"name"), T("café"));
  EXPECT_EQ(ProfileRead(path_, u"Main", u"other"), T("x"));
  EXPECT_EQ(ProfileRead(path_, u"Main", u"added"), T("Ελ"));

  WriteBytes(path_, "\xEF\xBB\xBF[Main]\nname=\xCE\xB1\xCE\xB2\n");
  EXPECT_EQ(Get(h_, u"Main", u"name"), T("αβ"));
  Set(h_, u"Main", u"name", T("γ"));
  EXPECT_EQ(ProfileRead(path_, u"Main", u"name"), T("γ"));
  EXPECT_EQ(folder_.Entries().size(), 1u);  // no side file left behind
}

TEST_F(IniWin32Test, BadPathsRaiseTheirErrorNumbersAndCreateNothing) {
  Set(h_, u"S", u"k", u"kept");
  const std::string before = ReadBytes(path_);
  IniHandler h(Win32IniStorageProvider::Instance());
  EXPECT_EQ(ErrorNumber([&] { h.SetPath(u""); }), 52);
  EXPECT_EQ(ErrorNumber([&] { h.SetPath(folder_.File("a?.ini")); }), 52);
  EXPECT_EQ(ErrorNumber([&] { h.SetPath(folder_.File("x:y.ini")); }), 52);
  EXPECT_EQ(ErrorNumber([&] { h.SetPath(folder_.File("NUL")); }), 52);
  EXPECT_EQ(ErrorNumber([&] { h.SetPath(folder_.File("con.ini")); }), 52);
  EXPECT_EQ(ErrorNumber([&] { h.SetPath(FromW(folder_.path() + L"\\")); }), 52);
  EXPECT_EQ(h.Path(), u"");

  h.SetSection(u"S");
  h.SetKey(u"k");
  h.SetPath(folder_.File("missing\\x.ini"));
  EXPECT_EQ(h.Value(), u"");
  EXPECT_EQ(ErrorNumber([&] { h.SetValue(u"v"); }), 76);

  h.SetPath(FromW(folder_.path()));
  EXPECT_EQ(ErrorNumber([&] { h.Value(); }), 75);
  EXPECT_EQ(ErrorNumber([&] { h.SetValue(u"v"); }), 75);

  ASSERT_TRUE(SetFileAttributesW(W(path_).c_str(), FILE_ATTRIBUTE_READONLY));
  h.SetPath(path_);
  EXPECT_EQ(h.Value(), u"kept");
  EXPECT_EQ(ErrorNumber([&] { h.SetValue(u"changed"); }), 70);     // would rewrite
  h.SetSection(u"New");
  EXPECT_EQ(ErrorNumber([&] { h.SetValue(u"appended"); }), 70);    // would append
  SetFileAttributesW(W(path_).c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"test.ini"});
}

// A whole-file replacement keeps the file what it was: other handlers stay on it, and a
// lock held on it through another handle (the report counter's) still excludes others.
TEST_F(IniWin32Test, ReplacementKeepsTheFileAndItsLocks) {
  Set(h_, u"A", u"k", u"1");
  Set(h_, u"B", u"k", u"1");
  winkit::FileLock counter = winkit::FileLock::Open(W(path_), winkit::FileLockSlot::kReportCounter, false);
  ASSERT_TRUE(counter);
  IniHandler other(Win32IniStorageProvider::Instance());
  other.SetPath(path_);
  EXPECT_EQ(Get(other, u"A", u"k"), u"1");
  Set(h_, u"A", u"new", u"2");  // moves [A]: a whole-file replacement
  EXPECT_EQ(Get(other, u"A", u"new"), u"2");
  Set(other, u"A", u"newer", u"3");
  EXPECT_EQ(Get(h_, u"A", u"newer"), u"3");
  EXPECT_FALSE(winkit::FileLock::Open(W(path_), winkit::FileLockSlot::kReportCounter, false, 0));
  counter.Release();
  EXPECT_EQ(ProfileRead(path_, u"A", u"newer"), u"3");
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"test.ini"});
}

// A replacement killed while its content landed left a torn file and a whole redo record:
// the next user lands the record before reading, or, when it may not write the file,
// reads the record instead of the torn file. One killed while writing the record left the
// file as it was. A record lands only on the file it was made for: not on a file made anew
// after a delete, nor on one that another program wrote meanwhile.
TEST_F(IniWin32Test, ALeftRedoRecordLandsOnlyOnTheFileItWasMadeFor) {
  Set(h_, u"A", u"k", u"old");
  const std::string old_bytes = ReadBytes(path_);
  Set(h_, u"B", u"k", u"1");
  Set(h_, u"A", u"k2", u"new");  // a replacement
  const std::string new_bytes = ReadBytes(path_);
  // Torn: the change count bumped in place (the first line has the new count), then the
  // landing cut short.
  const size_t first_line = new_bytes.find(std::string("\r\0\n\0", 4)) + 4;
  std::string torn = old_bytes;
  torn.replace(0, first_line, new_bytes.substr(0, first_line));
  torn.replace(0, new_bytes.size() / 2, new_bytes.substr(0, new_bytes.size() / 2));
  const Text redo = path_ + u".tolvex-redo";
  auto fresh_get = [&](const Text& section, const Text& key) {
    IniHandler h(Win32IniStorageProvider::Instance());
    h.SetPath(path_);
    return Get(h, section, key);
  };

  WriteBytes(redo + u"-part", new_bytes.substr(0, new_bytes.size() / 2));
  WriteBytes(path_, old_bytes);
  EXPECT_EQ(fresh_get(u"A", u"k2"), u"");
  EXPECT_EQ(fresh_get(u"A", u"k"), u"old");
  EXPECT_EQ(ReadBytes(path_), old_bytes);

  // Torn, read by one who may not write it: the record's content, the file untouched.
  WriteBytes(redo, new_bytes);
  WriteBytes(path_, torn);
  ASSERT_TRUE(SetFileAttributesW(W(path_).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(fresh_get(u"A", u"k2"), u"new");
  EXPECT_EQ(fresh_get(u"B", u"k"), u"1");
  EXPECT_EQ(ReadBytes(path_), torn);
  ASSERT_TRUE(SetFileAttributesW(W(path_).c_str(), FILE_ATTRIBUTE_NORMAL));
  // ... and by one who may: landed.
  EXPECT_EQ(fresh_get(u"A", u"k2"), u"new");
  EXPECT_EQ(ReadBytes(path_), new_bytes);
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"test.ini"});

  // The file deleted after the kill: the next change starts a new file.
  WriteBytes(redo, new_bytes);
  ASSERT_TRUE(DeleteFileW(W(path_).c_str()));
  IniHandler h(Win32IniStorageProvider::Instance());
  h.SetPath(path_);
  Set(h, u"C", u"k", u"fresh");
  EXPECT_EQ(Get(h, u"A", u"k"), u"");
  EXPECT_EQ(ProfileSections(path_), std::vector<Text>{u"C"});
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"test.ini"});

  // Another program wrote the file meanwhile: its content stays.
  WriteBytes(redo, new_bytes);
  WriteBytes(path_, "[Other]\r\nkey=theirs\r\n");
  EXPECT_EQ(fresh_get(u"Other", u"key"), u"theirs");
  EXPECT_EQ(fresh_get(u"A", u"k2"), u"");
  EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"test.ini"});
}

}  // namespace
}  // namespace tolvex::wintest
