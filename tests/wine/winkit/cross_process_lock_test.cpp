// The cross-process locks under Wine (winkit/cross_process_lock.h), each kind against
// holder processes of each bitness the build has: while one process holds a lock nobody
// else gets it, the holder waits for it like anyone else, and a lock whose holder was
// killed goes to the next one who asks. A thread may take a named lock it holds again;
// the file's own locks are the file's, whatever its name.
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

TEST(CrossProcessLock, ThreadsExcludeEachOtherAndAHolderMayTakeANamedLockAgain) {
  const std::wstring name = Unique(L"lock");
  winkit::NamedLock* lock = winkit::OpenNamedLock(name);
  ASSERT_TRUE(lock);
  winkit::HeldNamedLock outer = winkit::TakeNamedLock(lock);
  winkit::HeldNamedLock inner = winkit::TakeNamedLock(lock, 0);  // no deadlock on itself
  ASSERT_TRUE(outer);
  ASSERT_TRUE(inner);
  Taker taker(L"named", name);
  EXPECT_FALSE(taker.GotItWithin(300));
  inner.reset();
  EXPECT_FALSE(taker.GotItWithin(300));  // still held once
  outer.reset();
  EXPECT_TRUE(taker.GotItWithin(10000));
}

TEST(CrossProcessLock, ReadAdvanceWriteUnderANamedLockLosesNoIncrement) {
  const std::wstring name = Unique(L"lock");
  constexpr int kThreads = 4, kIncrements = 2000;
  volatile int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kIncrements; ++i) {
        winkit::HeldNamedLock held = winkit::TakeNamedLock(winkit::OpenNamedLock(name));
        int seen = counter;
        if (i % 16 == 0) Sleep(0);  // give the others a chance to break in
        counter = seen + 1;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, kThreads * kIncrements);
}

}  // namespace

// The file's own locks: two handles on one file exclude each
// other, also in one process; two files never wait on each other; a taker that waited on
// a file replaced by a rename ends up holding the file now at the path.
TEST(FileLocks, OneFileOneLockTwoFilesTwoLocks) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"velk-file-locks-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder + L"\\a");
  std::filesystem::create_directories(folder + L"\\b");
  const std::wstring a = folder + L"\\a\\velkbug.ini", b = folder + L"\\b\\velkbug.ini";
  constexpr auto kSlot = winkit::FileLockSlot::kReportCounter;
  {
    winkit::Handle held = winkit::OpenLocked(a, kSlot, true);
    ASSERT_TRUE(held);
    EXPECT_FALSE(winkit::OpenLocked(a, kSlot, true, 0)) << "the same file, another handle";
    EXPECT_FALSE(winkit::OpenLocked(folder + L"\\A\\.\\VELKBUG.INI", kSlot, true, 0)) << "another spelling";
    EXPECT_TRUE(winkit::OpenLocked(b, kSlot, true, 0)) << "another file";
    EXPECT_TRUE(winkit::OpenLocked(a, winkit::FileLockSlot::kContent, true, 0)) << "another slot";

    // Replaced while held: the next taker gets the new file, not the old one's lock.
    winkit::Handle waiting(CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(waiting);
    HANDLE side = CreateFileW((a + L".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(side);
    // Moved aside and deleted, then the new one moved in (Wine and older Windows refuse to
    // replace a file that others hold open).
    ASSERT_TRUE(MoveFileExW(a.c_str(), (a + L".old").c_str(), 0));
    ASSERT_TRUE(MoveFileExW((a + L".new").c_str(), a.c_str(), 0));
    ASSERT_TRUE(DeleteFileW((a + L".old").c_str()));
    EXPECT_TRUE(winkit::FileWasReplaced(waiting.get(), a));
    EXPECT_FALSE(winkit::FileWasReplaced(winkit::OpenLocked(a, kSlot, false, 0).get(), a));
  }
  EXPECT_TRUE(winkit::OpenLocked(a, kSlot, false, 0)) << "given back with its handle";
  std::filesystem::remove_all(folder);
}
