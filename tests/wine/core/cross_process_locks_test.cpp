// The platform's named locks under Wine: other processes and other threads are kept
// out while the lock is held, a thread may take a lock it holds again, and a lock whose
// holder ended without giving it back goes to the next one who asks.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "component/win32/platform_win32.h"

using common::Text;

namespace {

// A lock name and event names of this test process alone.
std::wstring Unique(const wchar_t* what) {
  static int serial = 0;
  return std::wstring(L"velk-lock-test.") + what + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(++serial);
}

Text AsText(const std::wstring& text) { return Text(text.begin(), text.end()); }

// Takes the lock on a thread of its own and holds it until Release().
class Taker {
 public:
  explicit Taker(const std::wstring& name)
      : got_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([got = got_, release = release_, name] {
      component::SessionLocks locks;
      auto guard = locks.Acquire(AsText(name));
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

// lock_holder_child.exe holding `name` until Release() (or until it is killed).
class HolderProcess {
 public:
  explicit HolderProcess(const std::wstring& name) {
    std::wstring ready_name = Unique(L"ready"), release_name = Unique(L"release");
    ready_ = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
    release_ = CreateEventW(nullptr, TRUE, FALSE, release_name.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring child = std::filesystem::path(self).parent_path().wstring() + L"\\lock_holder_child.exe";
    std::wstring command = L"\"" + child + L"\" " + name + L" " + ready_name + L" " + release_name;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(child.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_);
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

TEST(CrossProcessLocks, WhileAnotherProcessHoldsTheLockNobodyElseGetsIt) {
  const std::wstring name = Unique(L"lock");
  HolderProcess holder(name);
  ASSERT_TRUE(holder.HoldsItWithin(20000));
  Taker taker(name);
  EXPECT_FALSE(taker.GotItWithin(500));
  holder.Release();
  EXPECT_TRUE(taker.GotItWithin(10000));
  EXPECT_EQ(holder.ExitCode(), 0u);
}

TEST(CrossProcessLocks, AnotherProcessWaitsWhileThisOneHoldsTheLock) {
  const std::wstring name = Unique(L"lock");
  component::SessionLocks locks;
  auto guard = locks.Acquire(AsText(name));
  HolderProcess holder(name);
  EXPECT_FALSE(holder.HoldsItWithin(1000));
  guard.reset();
  EXPECT_TRUE(holder.HoldsItWithin(20000));
  holder.Release();
  EXPECT_EQ(holder.ExitCode(), 0u);
  // Taken again here after the other process gave it back.
  EXPECT_NE(locks.Acquire(AsText(name)), nullptr);
}

TEST(CrossProcessLocks, ALockWhoseHolderEndedWithoutGivingItBackGoesToTheNext) {
  const std::wstring name = Unique(L"lock");
  HolderProcess holder(name);
  ASSERT_TRUE(holder.HoldsItWithin(20000));
  Taker taker(name);
  EXPECT_FALSE(taker.GotItWithin(300));
  holder.Kill();
  EXPECT_TRUE(taker.GotItWithin(10000));
}

TEST(CrossProcessLocks, ThreadsExcludeEachOtherAndAHolderMayTakeItAgain) {
  const std::wstring name = Unique(L"lock");
  component::SessionLocks locks;
  auto outer = locks.Acquire(AsText(name));
  auto inner = locks.Acquire(AsText(name));  // no deadlock on itself
  Taker taker(name);
  EXPECT_FALSE(taker.GotItWithin(300));
  inner.reset();
  EXPECT_FALSE(taker.GotItWithin(300));  // still held once
  outer.reset();
  EXPECT_TRUE(taker.GotItWithin(10000));
}

TEST(CrossProcessLocks, ReadAdvanceWriteUnderTheLockLosesNoStep) {
  const std::wstring name = Unique(L"lock");
  constexpr int kThreads = 4, kSteps = 2000;
  volatile int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      component::SessionLocks locks;  // each its own, as each thread has its own platform
      for (int i = 0; i < kSteps; ++i) {
        auto guard = locks.Acquire(AsText(name));
        int seen = counter;
        if (i % 16 == 0) Sleep(0);  // give the others a chance to break in
        counter = seen + 1;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, kThreads * kSteps);
}

}  // namespace
