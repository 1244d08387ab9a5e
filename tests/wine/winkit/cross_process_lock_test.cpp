// The cross-process locks under Wine (winkit/named_mutex.h, winkit/file_lock.h), each kind
// against holder processes of each bitness the build has: while one process holds a lock
// nobody else gets it, the holder waits for it like anyone else, and a lock whose holder
// was killed goes to the next one who asks. A thread may take a named mutex it holds
// again; the file's own locks are the file's, whatever its name.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "held_lock.h"

namespace {

// A name of this test process alone.
std::wstring Unique(const wchar_t* what) {
  static int serial = 0;
  return std::wstring(L"velk-lock-test.") + what + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(++serial);
}

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// The holder programs: lock_holder_child.exe beside this test, and those of other
// bitnesses that VELK_LOCK_HOLDERS lists ('|' between them).
std::vector<std::wstring> HolderPrograms() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::vector<std::wstring> programs{std::filesystem::path(self).parent_path().wstring() + L"\\lock_holder_child.exe"};
  const char* listed = std::getenv("VELK_LOCK_HOLDERS");
  std::string rest = listed ? listed : "";
  while (!rest.empty()) {
    size_t bar = rest.find('|');
    std::string one = rest.substr(0, bar);
    if (!one.empty()) programs.emplace_back(one.begin(), one.end());
    rest = bar == std::string::npos ? "" : rest.substr(bar + 1);
  }
  return programs;
}

// Takes the lock on a thread of its own and holds it until the taker ends.
class Taker {
 public:
  Taker(const std::wstring& kind, const std::wstring& name)
      : got_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([got = got_, release = release_, kind, name] {
      locktest::HeldLock lock = locktest::TakeLock(kind, name);
      if (!lock) return;
      SetEvent(got);
      WaitForSingleObject(release, INFINITE);
    });
  }
  ~Taker() {
    if (WaitForSingleObject(got_, 0) != WAIT_OBJECT_0) {
      thread_.detach();  // still waiting after a failed test: it and its events last to the end of the process
      return;
    }
    SetEvent(release_);
    thread_.join();
    CloseHandle(got_);
    CloseHandle(release_);
  }
  bool GotItWithin(DWORD milliseconds) { return WaitForSingleObject(got_, milliseconds) == WAIT_OBJECT_0; }

 private:
  HANDLE got_, release_;
  std::thread thread_;
};

// A holder program holding the lock until Release() (or until it is killed).
class HolderProcess {
 public:
  HolderProcess(const std::wstring& program, const std::wstring& kind, const std::wstring& name) {
    std::wstring ready_name = Unique(L"ready"), release_name = Unique(L"release");
    ready_ = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
    release_ = CreateEventW(nullptr, TRUE, FALSE, release_name.c_str());
    std::wstring command =
        L"\"" + program + L"\" " + kind + L" \"" + name + L"\" " + ready_name + L" " + release_name;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_);
  }
  ~HolderProcess() {
    if (started_) {
      Kill();
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    CloseHandle(ready_);
    CloseHandle(release_);
  }
  bool HoldsItWithin(DWORD milliseconds) {
    return started_ && WaitForSingleObject(ready_, milliseconds) == WAIT_OBJECT_0;
  }
  void Release() { SetEvent(release_); }
  DWORD ExitCode() {
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) return 999;
    DWORD code = 999;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  void Kill() {
    TerminateProcess(process_.hProcess, 9);
    WaitForSingleObject(process_.hProcess, 20000);
  }

 private:
  HANDLE ready_, release_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST(CrossProcessLock, EachKindKeepsOtherProcessesOutAndOutlivesAKilledHolder) {
  const std::wstring folder = TempFolder() + L"velk-lock-test-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::create_directories(folder);
  for (const std::wstring& program : HolderPrograms()) {
    for (const std::wstring kind : {L"named", L"file"}) {
      const std::wstring name = kind == L"named" ? Unique(L"lock") : folder + L"\\" + Unique(L"file") + L".ini";
      SCOPED_TRACE(std::string(kind.begin(), kind.end()) + " lock, holder " +
                   std::string(program.begin(), program.end()));

      // This process holds it: the holder process waits, and gets it when it is given back.
      HolderProcess holder(program, kind, name);
      {
        locktest::HeldLock mine = locktest::TakeLock(kind, name);
        ASSERT_TRUE(mine);
        EXPECT_FALSE(holder.HoldsItWithin(1000));
      }
      ASSERT_TRUE(holder.HoldsItWithin(20000));

      // The holder process holds it: nobody here gets it until it is given back.
      {
        Taker taker(kind, name);
        EXPECT_FALSE(taker.GotItWithin(500));
        holder.Release();
        EXPECT_TRUE(taker.GotItWithin(10000));
        EXPECT_EQ(holder.ExitCode(), 0u);
      }

      // A holder killed while it holds it: the next one who asks gets it.
      HolderProcess killed(program, kind, name);
      ASSERT_TRUE(killed.HoldsItWithin(20000));
      Taker taker(kind, name);
      EXPECT_FALSE(taker.GotItWithin(300));
      killed.Kill();
      EXPECT_TRUE(taker.GotItWithin(10000));
    }
  }
  std::filesystem::remove_all(folder);
}

TEST(CrossProcessLock, ThreadsExcludeEachOtherAndAHolderMayTakeANamedMutexAgain) {
  const std::wstring name = Unique(L"lock");
  winkit::Handle mutex = winkit::OpenNamedMutex(name);
  ASSERT_TRUE(mutex);
  winkit::HeldMutex outer = winkit::TakeMutex(mutex.get());
  winkit::HeldMutex inner = winkit::TakeMutex(mutex.get(), 0);  // no deadlock on itself
  ASSERT_TRUE(outer);
  ASSERT_TRUE(inner);
  Taker taker(L"named", name);
  EXPECT_FALSE(taker.GotItWithin(300));
  inner.reset();
  EXPECT_FALSE(taker.GotItWithin(300));  // still held once
  outer.reset();
  EXPECT_TRUE(taker.GotItWithin(10000));
}

TEST(CrossProcessLock, ReadAdvanceWriteUnderANamedMutexLosesNoIncrement) {
  const std::wstring name = Unique(L"lock");
  constexpr int kThreads = 4, kIncrements = 2000;
  volatile int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      winkit::Handle mutex = winkit::OpenNamedMutex(name);
      for (int i = 0; i < kIncrements; ++i) {
        winkit::HeldMutex held = winkit::TakeMutex(mutex.get());
        int seen = counter;
        if (i % 16 == 0) Sleep(0);  // give the others a chance to break in
        counter = seen + 1;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, kThreads * kIncrements);
}

}  // namespace

// The file's own locks: two handles on one file exclude each other, also in one process,
// whatever name each opened it by; two files never wait on each other. While the lock is
// held nobody deletes or renames the file; once it is given back the file is not open, so
// a delete goes through at once, and the next lock takes the file then at the path.
TEST(FileLocks, OneFileOneLockHeldOnlyWhileHeld) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"velk-file-locks-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder + L"\\a");
  std::filesystem::create_directories(folder + L"\\b");
  const std::wstring a = folder + L"\\a\\velkbug.ini", b = folder + L"\\b\\velkbug.ini";
  auto open = [&](const std::wstring& path, winkit::FileLockSlot slot = winkit::FileLockSlot::kReportCounter) {
    return winkit::FileLock::Open(path, slot, /*create=*/true, 0);
  };
  {
    winkit::FileLock held = open(a);
    ASSERT_TRUE(held);
    EXPECT_FALSE(open(a)) << "the same file, another handle";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION));
    EXPECT_FALSE(open(folder + L"\\A\\.\\VELKBUG.INI")) << "another spelling";
    EXPECT_TRUE(open(b)) << "another file";
    EXPECT_TRUE(open(a, winkit::FileLockSlot::kContent)) << "another slot";
    EXPECT_FALSE(open(a, winkit::FileLockSlot::kBoth)) << "both slots, one of them taken";
    EXPECT_FALSE(DeleteFileW(a.c_str())) << "deleted while held";
    EXPECT_FALSE(MoveFileExW(a.c_str(), (a + L".old").c_str(), 0)) << "renamed while held";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(held.file(), "old", 3, &written, nullptr));
  }
  // Given back: the file is not open, and a delete takes it at once.
  ASSERT_TRUE(DeleteFileW(a.c_str()));
  EXPECT_FALSE(std::filesystem::exists(a));
  {
    winkit::FileLock fresh = open(a);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(std::filesystem::file_size(a), 0u) << "a new file at the path";
  }
  // Replaced by a rename between two holds: the next lock is the new file's.
  winkit::Handle side(CreateFileW((a + L".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(side.get(), "new", 3, &written, nullptr));
  side.reset();
  ASSERT_TRUE(MoveFileExW((a + L".new").c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING));
  winkit::FileLock replaced = open(a);
  ASSERT_TRUE(replaced);
  char read[8] = {};
  ASSERT_TRUE(ReadFile(replaced.file(), read, sizeof read, &written, nullptr));
  EXPECT_EQ(std::string(read, written), "new");
  replaced.Release();
  std::filesystem::remove_all(folder);
}
