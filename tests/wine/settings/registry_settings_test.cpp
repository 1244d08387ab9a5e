// The registry settings store under Wine: where values land and how they read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "common/automation_error.h"
#include "settings/catalog.h"
#include "settings/win32/registry_settings_store.h"

using common::Text;
using settings::RegistrySettingsStore;
namespace cat = settings::catalog;

namespace {

const wchar_t kRoot[] = L"Software\\VB and VBA Program Settings";

class RegistrySettings : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Kestrelon"); }
  void TearDown() override { SetUp(); }

  // The raw registry value at HKCU\<root>\<path>, with its type.
  static bool Raw(const std::wstring& path, const wchar_t* name, DWORD& type, std::wstring& data) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kRoot) + L"\\" + path).c_str(), 0, KEY_READ, &key))
      return false;
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    data.assign(buffer, bytes / sizeof(wchar_t));
    return status == ERROR_SUCCESS;
  }

  static std::vector<std::wstring> Subkeys(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kRoot) + L"\\" + path).c_str(), 0, KEY_READ, &key))
      return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)) break;
      names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
  }

  RegistrySettingsStore store;
};

TEST_F(RegistrySettings, ApplicationNamesNestAndMarivaleLandsBesideDebugger) {
  store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerShell, u"1");
  store.WriteSetting(cat::kMakerApp, cat::kSectionMarivale, cat::kCleanMachineEnvVar, u"0");

  DWORD type = 0;
  std::wstring data;
  ASSERT_TRUE(Raw(L"Kestrelon\\Debugger\\DebuggerA", L"DebuggerShell", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, std::wstring(L"1", 2));  // stored with its terminator
  ASSERT_TRUE(Raw(L"Kestrelon\\Marivale", L"CleanMachineEnvVar", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  auto children = Subkeys(L"Kestrelon");
  std::sort(children.begin(), children.end());
  EXPECT_EQ(children, (std::vector<std::wstring>{L"Debugger", L"Marivale"}));
}

TEST_F(RegistrySettings, MissingLevelsReadAsTheDefault) {
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerWindow), u"");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionReport, cat::kDebuggerAKS, u"AAAA"), u"AAAA");
  store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerShell, u"1");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerWindow, u"x"), u"x");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, u"Nowhere", cat::kDebuggerShell, u"y"), u"y");
  EXPECT_EQ(store.ReadSetting(u"Kestrelon\\Other", cat::kSectionDebuggerA, cat::kDebuggerShell), u"");
}

TEST_F(RegistrySettings, TextsRoundTripExactlyAndWritesReplace) {
  const Text texts[] = {
      u"0.6",
      u"Ελληνικά 中文 \U0001F600",
      Text(u"before\0after", 12),
      u"line1\r\nline2 [x] = ; >",
      Text(65536, u'x'),
      u"",
  };
  for (const Text& text : texts) {
    store.WriteSetting(cat::kSettingsApp, cat::kSectionReport, u"AAAB", text);
    EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionReport, u"AAAB", u"default"), text);
  }
  // Names are found whatever their letter case, as the registry does.
  store.WriteSetting(u"kestrelon\\DEBUGGER", u"debuggera", u"debuggershell", u"2");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerShell), u"2");
}

// Values are kept between reads, but never past a change by someone else.
TEST_F(RegistrySettings, ReadsSeeChangesMadeElsewhere) {
  RegistrySettingsStore other;
  store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"1");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"1");
  other.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"2");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"2");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledDLL), u"");
  other.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledDLL, u"1");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledDLL), u"1");

  // The whole tree removed behind the store's back: reads fall back to the
  // default and the next write builds the levels again.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Kestrelon"), ERROR_SUCCESS);
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"d"), u"d");
  store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"3");
  EXPECT_EQ(other.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"3");

  // Removed and written anew while the store keeps the values it read.
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"3");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"3");
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Kestrelon"), ERROR_SUCCESS);
  other.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"4");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"4");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledDLL, u"d"), u"d");
}

// Keys read together (the level and a kind's switch, for every message) show the same
// changes as keys read one by one.
TEST_F(RegistrySettings, KeysReadTogetherSeeEveryChange) {
  RegistrySettingsStore other;
  const Text app = cat::kSettingsApp, section = cat::kSectionDebuggerA;
  const std::vector<common::TextView> keys{cat::kDebuggerAEnabledLevel, cat::kDebuggerAEnabledDLL, cat::kDebuggerAEnabledOCX};
  using Texts = std::vector<Text>;
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"", u"", u""}));
  other.WriteSetting(app, section, cat::kDebuggerAEnabledLevel, u"1");
  other.WriteSetting(app, section, cat::kDebuggerAEnabledDLL, u"1");
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"1", u"1", u""}));
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"1", u"1", u""}));
  other.WriteSetting(app, section, cat::kDebuggerAEnabledDLL, u"0");
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"1", u"0", u""}));
  other.WriteSetting(app, section, cat::kDebuggerAEnabledOCX, u"1");
  EXPECT_EQ(store.ReadSetting(app, section, cat::kDebuggerAEnabledOCX), u"1");
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"1", u"0", u"1"}));
  store.WriteSetting(app, section, cat::kDebuggerAEnabledLevel, u"2");
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"2", u"0", u"1"}));

  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Kestrelon"), ERROR_SUCCESS);
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"", u"", u""}));
  other.WriteSetting(app, section, cat::kDebuggerAEnabledDLL, u"1");
  EXPECT_EQ(store.ReadSettings(app, section, keys), (Texts{u"", u"1", u""}));
}

// A section the store keeps writing (the registry log) is read from the registry each
// time; once it is only read, its values are kept again. Either way another writer's
// change shows at the next read.
TEST_F(RegistrySettings, ReadsSeeChangesElsewhereAlsoInSectionsThisStoreWrites) {
  RegistrySettingsStore other;
  const Text app = cat::kSettingsApp, log = cat::kSectionReport;
  for (char16_t round = u'A'; round <= u'C'; ++round) {
    const Text mine = Text(u"AAB") + round, theirs = Text(u"AAC") + round, later = Text(u"AAD") + round;
    const Text entry = Text(u"AAE") + round;
    store.WriteSetting(app, log, cat::kDebuggerAKS, mine);
    EXPECT_EQ(store.ReadSetting(app, log, cat::kDebuggerAKS), mine);
    other.WriteSetting(app, log, cat::kDebuggerAKS, theirs);
    EXPECT_EQ(store.ReadSetting(app, log, cat::kDebuggerAKS), theirs);
    EXPECT_EQ(store.ReadSetting(app, log, cat::kDebuggerAKS), theirs);
    EXPECT_EQ(store.ReadSetting(app, log, entry, u"none"), u"none");
    other.WriteSetting(app, log, cat::kDebuggerAKS, later);
    other.WriteSetting(app, log, entry, u"entry");
    EXPECT_EQ(store.ReadSetting(app, log, cat::kDebuggerAKS), later);
    EXPECT_EQ(store.ReadSetting(app, log, entry, u"none"), u"entry");
    other.WriteSetting(app, log, entry, u"changed");
    EXPECT_EQ(store.ReadSetting(app, log, entry, u"none"), u"changed");
  }
}

// The same when the writer is another program (the platform's reg.exe).
TEST_F(RegistrySettings, ReadsSeeChangesMadeByAnotherProcess) {
  auto reg = [](const std::wstring& arguments) {
    std::wstring command = L"reg.exe " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return DWORD(999);
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 999;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
  };
  const std::wstring key = L"\"HKCU\\Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerA\"";
  store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"1");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"1");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"1");
  ASSERT_EQ(reg(L"add " + key + L" /v DebuggerAEnabledLevel /t REG_SZ /d 2 /f"), 0u);
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"2");
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel), u"2");
  ASSERT_EQ(reg(L"delete " + key + L" /v DebuggerAEnabledLevel /f"), 0u);
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerAEnabledLevel, u"d"), u"d");
}

TEST_F(RegistrySettings, ValuesOfOtherTypesReadAsTheDefault) {
  store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerShell, u"1");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerA", 0,
                          KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  DWORD one = 1;
  RegSetValueExW(key, L"DebuggerWindow", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof one);
  RegCloseKey(key);
  EXPECT_EQ(store.ReadSetting(cat::kSettingsApp, cat::kSectionDebuggerA, cat::kDebuggerWindow, u"d"), u"d");
}

TEST_F(RegistrySettings, IncompleteAddressIsRefusedAndWritesNothing) {
  for (auto [app, section, key] : {std::tuple<Text, Text, Text>{u"", u"DebuggerA", u"K"},
                                   {cat::kSettingsApp, u"", u"K"},
                                   {cat::kSettingsApp, u"DebuggerA", u""}}) {
    try {
      store.WriteSetting(app, section, key, u"1");
      ADD_FAILURE() << "an incomplete address must be refused";
    } catch (const common::AutomationError& error) {
      EXPECT_EQ(error.number(), 5);
    }
  }
  EXPECT_TRUE(Subkeys(L"Kestrelon").empty());
  HKEY key;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Kestrelon", 0, KEY_READ, &key),
            ERROR_SUCCESS);
}

}  // namespace
