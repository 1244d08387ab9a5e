// The component's cross-process locks on Windows: the report counter's lock holds the
// report file now at the path, and only while it is held.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "component/win32/cross_process_locks.h"
#include "winkit/file_lock.h"

namespace {

using common::Text;

Text AsText(const std::wstring& text) { return Text(text.begin(), text.end()); }

// Whether another handle finds the counter's lock of the file at `path` taken.
bool CounterLockTaken(const std::wstring& path) {
  return !winkit::FileLock::Open(path, winkit::FileLockSlot::kReportCounter, false, 0) &&
         GetLastError() == ERROR_LOCK_VIOLATION;
}

TEST(Win32CrossProcessLocks, TheReportCounterLockHoldsTheFileAtThePathOnlyWhileHeld) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"velk-counter-lock-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::wstring path = folder + L"\\velkbug.ini";
  component::Win32CrossProcessLocks locks;

  auto held = locks.AcquireReportCounter(AsText(path));
  EXPECT_TRUE(CounterLockTaken(path)) << "made and locked";
  EXPECT_FALSE(DeleteFileW(path.c_str())) << "nobody deletes it while a message is written";
  held.reset();
  EXPECT_FALSE(CounterLockTaken(path)) << "given back between messages";
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(std::filesystem::exists(path)) << "not held open between messages: gone at once";

  held = locks.AcquireReportCounter(AsText(path));
  EXPECT_TRUE(CounterLockTaken(path)) << "a new file made and locked";
  held.reset();

  // A folder that does not exist: nothing is held, and the INI file handler says why.
  held = locks.AcquireReportCounter(AsText(folder + L"\\missing\\velkbug.ini"));
  EXPECT_NE(held, nullptr);
  held.reset();
  std::filesystem::remove_all(folder);
}

}  // namespace
