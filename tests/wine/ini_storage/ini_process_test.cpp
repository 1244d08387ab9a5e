// Several processes on one INI file, and writers killed at random moments.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "tolvex/ini/win32_ini_storage.h"
#include "win32_test_util.h"
#include "winkit/handles.h"

namespace tolvex::wintest {
namespace {

// A writer child (see main.cpp) and the shared block it reports progress in.
class Writer {
 public:
  Writer(const Text& path, const std::wstring& mode, long count) {
    static int serial = 0;
    std::wstring progress = L"Local\\TolvexIniTestProgress-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++serial);
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, progress.c_str()));
    view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 8));
    progress_ = static_cast<volatile LONG*>(view_.get());
    *progress_ = -1;
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --writer \"" + W(path) + L"\" " + mode + L" " +
                           std::to_wstring(count) + L" " + progress;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    started_ = CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    process_ = info.hProcess;
    if (info.hThread) CloseHandle(info.hThread);
  }
  ~Writer() {
    if (process_) {
      TerminateProcess(process_, 9);
      WaitForSingleObject(process_, INFINITE);
      CloseHandle(process_);
    }
  }
  bool started() const { return started_; }
  long progress() const { return *progress_; }
  // Exit code, or -1 when it did not end in time.
  long Wait(DWORD ms) {
    if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
  }
  void Kill() {
    TerminateProcess(process_, 9);
    WaitForSingleObject(process_, INFINITE);
  }

 private:
  winkit::Handle mapping_;
  winkit::MappedView view_;
  volatile LONG* progress_ = nullptr;
  HANDLE process_ = nullptr;
  bool started_ = false;
};

TEST(IniProcesses, ProcessesWritingAtOnceLoseNothing) {
  TempFolder folder;
  Text path = folder.File("shared.ini");
  IniHandler h(Win32IniStorageProvider::Instance());
  h.SetPath(path);
  h.SetSection(u"A");
  h.SetKey(u"Last");
  EXPECT_EQ(h.Value(), u"");  // cached as absent before the others write
  const long kCount = 150;
  {
    Writer a(path, L"keys:A", kCount), b(path, L"keys:B", kCount);
    ASSERT_TRUE(a.started() && b.started());
    EXPECT_EQ(a.Wait(120000), 0);
    EXPECT_EQ(b.Wait(120000), 0);
  }
  EXPECT_EQ(h.Value(), common::IntegerText(kCount - 1));
  for (const char16_t* section : {u"A", u"B"}) {
    h.SetSection(section);
    std::vector<Text> keys = h.EnumerateCurrentSection();
    ASSERT_EQ(keys.size(), size_t(kCount) + 1) << U8(section);
    for (long i = 0; i < kCount; ++i) {
      h.SetKey(common::IntegerText(i));
      ASSERT_EQ(h.Value(), ReportMessage(i)) << U8(section) << " " << i;
    }
    EXPECT_EQ(ProfileRead(path, section, u"Last"), common::IntegerText(kCount - 1));
  }
  EXPECT_EQ(folder.Entries().size(), 1u);
}

TEST(IniProcesses, AWriterKilledAtAnyMomentLeavesEveryCompletedReport) {
  TempFolder folder;
  Text path = folder.File("killed.ini");
  std::mt19937 random(std::random_device{}());
  long completed_before = -1;  // last report number known complete
  for (int round = 0; round < 6; ++round) {
    DWORD delay = std::uniform_int_distribution<DWORD>(0, 400)(random);
    long last;
    {
      Writer writer(path, L"report", -1);
      ASSERT_TRUE(writer.started());
      // Wait until it writes (Wine starts a process slowly), then a random moment more.
      for (int i = 0; i < 3000 && writer.progress() < 0 && writer.Wait(0) == -1; ++i) Sleep(1);
      Sleep(delay);
      writer.Kill();
      last = std::max(completed_before, writer.progress());
    }
    SCOPED_TRACE("round " + std::to_string(round) + ", killed " + std::to_string(delay) +
                 " ms in, last complete report " + std::to_string(last));

    IniHandler h(Win32IniStorageProvider::Instance());
    h.SetPath(path);
    h.SetSection(u"DebuggerA");
    h.SetKey(u"Counter");
    long counter = std::stol(U8(h.Value()));
    // The counter of the last complete report, or of one more whose message landed too.
    ASSERT_TRUE(counter == last + 1 || counter == last + 2) << counter;
    EXPECT_EQ(ProfileRead(path, u"DebuggerA", u"Counter"), common::IntegerText(counter));
    h.SetSection(u"DebuggerAReport");
    std::vector<Text> keys = h.EnumerateCurrentSection();
    // A message may have landed for a report whose counter did not.
    ASSERT_TRUE(keys.size() == size_t(counter) || keys.size() == size_t(counter) + 1) << keys.size();
    for (long i = 0; i < long(keys.size()); ++i) {
      ASSERT_EQ(keys[size_t(i)], common::IntegerText(i));
      h.SetKey(keys[size_t(i)]);
      ASSERT_EQ(h.Value(), ReportMessage(i)) << i;
    }
    EXPECT_EQ(ProfileKeys(path, u"DebuggerAReport").size(), keys.size());
    // The file takes changes again (the lock the writer may have held is free).
    Report(h);
    completed_before = counter;
  }
  // Whatever a killed replacement left beside the file was cleared by the next reader.
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"killed.ini"});
}

// Writers killed while they rebuild a large file: the next reader finds every change that
// completed before the kill, and the one under way either whole or not at all.
TEST(IniProcesses, AWriterKilledWhileItRebuildsALargeFileLeavesTheOldOrTheNewWhole) {
  TempFolder folder;
  Text path = folder.File("large.ini");
  {
    IniHandler h(Win32IniStorageProvider::Instance());
    h.SetPath(path);
    h.HoldFile(path);
    h.SetSection(u"Bulk");
    for (int i = 0; i < 20000; ++i) {  // about 4 MB: each rebuild takes a while
      h.SetKey(common::IntegerText(i));
      h.SetValue(ReportMessage(i));
    }
    h.ReleaseFile();
  }
  std::mt19937 random(std::random_device{}());
  long next = 0;  // the first key the next writer stores
  for (int round = 0; round < 8; ++round) {
    DWORD delay = std::uniform_int_distribution<DWORD>(0, 150)(random);
    long last;
    {
      Writer writer(path, L"rebuilds:" + std::to_wstring(next), -1);
      ASSERT_TRUE(writer.started());
      for (int i = 0; i < 3000 && writer.progress() < 0 && writer.Wait(0) == -1; ++i) Sleep(1);
      Sleep(delay);
      writer.Kill();
      last = std::max(next - 1, writer.progress());
    }
    SCOPED_TRACE("round " + std::to_string(round) + ", killed " + std::to_string(delay) + " ms in, last complete key " +
                 std::to_string(last));
    IniHandler h(Win32IniStorageProvider::Instance());
    h.SetPath(path);
    for (long key = 0; key <= last + 1; ++key) {
      h.SetSection(key % 2 ? u"A" : u"B");
      h.SetKey(common::IntegerText(key));
      const Text value = h.Value();
      if (key <= last)
        ASSERT_EQ(value, ReportMessage(key)) << key;
      else  // the change under way: whole or not there
        ASSERT_TRUE(value.empty() || value == ReportMessage(key)) << key;
      if (key == last + 1 && !value.empty()) ++last;
    }
    h.SetSection(u"Bulk");
    const std::vector<Text> bulk = h.EnumerateCurrentSection();
    ASSERT_EQ(bulk.size(), 20000u);
    for (int i : {0, 9999, 19999}) {
      h.SetKey(common::IntegerText(i));
      ASSERT_EQ(h.Value(), ReportMessage(i));
    }
    EXPECT_EQ(ProfileRead(path, u"Bulk", u"19999"), ReportMessage(19999));
    next = last + 1;
  }
  EXPECT_EQ(folder.Entries(), std::vector<std::wstring>{L"large.ini"});
}

}  // namespace
}  // namespace tolvex::wintest
