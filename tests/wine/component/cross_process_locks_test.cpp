// The component's cross-process locks on Windows: the report counter's lock keeps the
// report file open between messages while its caller keeps it, yet always locks the file
// now at the path.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "component/win32/cross_process_locks.h"
#include "winkit/cross_process_lock.h"

namespace {

using common::Text;

Text AsText(const std::wstring& text) { return Text(text.begin(), text.end()); }

// Whether another handle finds the counter's lock of the file at `path` taken.
bool CounterLockTaken(const std::wstring& path) {
  return !winkit::OpenLocked(path, winkit::FileLockSlot::kReportCounter, false, 0) &&
         GetLastError() == ERROR_LOCK_VIOLATION;
}

TEST(Win32CrossProcessLocks, TheReportCounterLockIsOnTheFileNowAtThePath) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"velk-counter-lock-" + std::to_wstring(GetCurrentProcessId());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::wstring path = folder + L"\\velkbug.ini", other = folder + L"\\other.ini";
  component::Win32CrossProcessLocks locks;
  std::shared_ptr<void> kept;  // as the module state keeps it
  auto take = [&](const std::wstring& file) {
    auto guard = locks.AcquireReportCounter(AsText(file));
    kept = guard->Kept();
    return guard;
  };

  auto held = take(path);
  EXPECT_TRUE(CounterLockTaken(path)) << "made and locked";
  held.reset();
  EXPECT_FALSE(CounterLockTaken(path)) << "given back between messages";

  // Replaced by a rename between two messages (moved aside and deleted, the new one moved in).
  HANDLE side = CreateFileW((path + L".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(side);
  ASSERT_TRUE(MoveFileExW(path.c_str(), (path + L".old").c_str(), 0));
  ASSERT_TRUE(MoveFileExW((path + L".new").c_str(), path.c_str(), 0));
  ASSERT_TRUE(DeleteFileW((path + L".old").c_str()));
  held = take(path);
  EXPECT_TRUE(CounterLockTaken(path)) << "the new file, not the one moved away";
  held.reset();

  // Another path: that file's lock, and the first file no longer held open (a file
  // deleted while open stays until its last handle closes).
  held = take(other);
  EXPECT_TRUE(CounterLockTaken(other));
  EXPECT_FALSE(CounterLockTaken(path));
  held.reset();
  ASSERT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(std::filesystem::exists(path));

  // Kept no longer: the file is not held open.
  kept.reset();
  ASSERT_TRUE(DeleteFileW(other.c_str()));
  EXPECT_FALSE(std::filesystem::exists(other));
  std::filesystem::remove_all(folder);
}

}  // namespace
