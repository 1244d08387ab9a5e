// The settings tree removed and written anew while the library is in use, as a user
// resetting the settings would do: level and kind are read for every message and the
// switches at every creation, so the values written afterwards are the ones in force.
// A program of its own: the removal leaves the process's settings handles behind.
#include <gtest/gtest.h>

#include "velk10_client.h"

namespace velk10_test {
namespace {

TEST(SettingsTree, ValuesWrittenAfterTheTreeWasRemovedTakeEffect) {
  Sandbox box;
  box.Accept(L"1");
  box.Switches(true, false, false);
  LateDebugger debugger;
  ASSERT_TRUE(debugger);
  winkit::Bstr message(L"m"), dll(L"dll"), name(L"n");
  auto add = [&](short level) {
    EXPECT_EQ(debugger.Add({{Str(message)}, {Str(dll)}, {Str(name)}, {I2(level)}}).hr, S_OK);
  };
  add(1);  // accepted, and the settings have been read

  DeleteSettingsTree();
  box.Accept(L"2");
  box.Switches(true, false, false);
  add(1);  // rejected: level 2 is configured now
  add(2);  // accepted
  std::vector<std::wstring> entries = box.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(Parse(entries[0]).number, 1);
  EXPECT_EQ(entries[1], L"");
  EXPECT_EQ(Parse(entries[2]).number, 2) << entries[2];

  // A new object reads the switches written after the removal.
  DeleteSettingsTree();
  box.Accept(L"2");
  box.Switches(false, false, false);
  LateDebugger second;
  ASSERT_TRUE(second);
  add(2);
  EXPECT_EQ(box.Entries().size(), 3u);
}

}  // namespace
}  // namespace velk10_test
