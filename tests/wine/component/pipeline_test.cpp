// Messages through the core on the real platform: registered companion components,
// the registry, the report file and the live message window.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <set>
#include <string>

#include "component/debug_message.h"
#include "component/debugger_commands.h"
#include "component/report_key.h"
#include "outside/helper_components.h"
#include "component/win32/platform_win32.h"
#include "settings/catalog.h"
#include "tests/wine/process_window.h"
#include "windows/live_message_window.h"
#include "winkit/handles.h"

using common::Text;
using component::DebugMessage;
using outside::Value;
namespace cat = settings::catalog;

namespace {

const wchar_t kKestrelon[] = L"Software\\VB and VBA Program Settings\\Kestrelon";

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

// A fresh folder for the report file and a clean settings tree for each test.
class RealPipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"velk-pipeline-" + std::to_wstring(GetCurrentProcessId());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    SetEnvironmentVariableW(L"QVSUPPORT", folder_.c_str());
  }
  void TearDown() override {
    state_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
    std::filesystem::remove_all(folder_);
    CoUninitialize();
  }

  void Store(const char16_t* key, const char16_t* text) {
    platform_.settings.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, text);
  }
  void AcceptLevel1Dll() {
    Store(cat::kDebuggerAEnabledLevel, u"1");
    Store(cat::kDebuggerAEnabledDLL, u"1");
  }
  void Create() {
    state_ = std::make_unique<component::ModuleState>();
    component::Debugger debugger(*state_, platform_.platform);
  }
  void Add(const Text& message, int16_t level = 1, Value extra = Value(), Value co_extra = Value()) {
    DebugMessage m{message, u"dll", u"modTest", level, &extra, &co_extra};
    component::AddDebugMessage(*state_, platform_.platform, m);
  }
  std::wstring ReportPath() const { return folder_ + L"\\velkbug.ini"; }
  std::wstring Profile(const wchar_t* section, const wchar_t* key) const {
    wchar_t buffer[4096] = {};
    GetPrivateProfileStringW(section, key, L"<none>", buffer, 4096, ReportPath().c_str());
    return buffer;
  }
  Text Logged(const char16_t* section, const Text& key) {
    return platform_.settings.ReadSetting(cat::kSettingsApp, section, key, u"<none>");
  }

  std::wstring folder_;
  component::Win32Platform platform_;
  std::unique_ptr<component::ModuleState> state_;
};

TEST_F(RealPipeline, CreationReadsSwitchesAndTheReportPathFromTheRealComponents) {
  Store(cat::kDebuggerShell, u"1");
  Store(cat::kDebuggerRegistry, u"0.6");
  Create();
  EXPECT_EQ(state_->debugger_shell, 1);
  EXPECT_EQ(state_->debugger_registry, 1);
  EXPECT_EQ(state_->debugger_window, 0);
  EXPECT_EQ(Wide(state_->report_file_path), ReportPath());
  ASSERT_NE(state_->run_time, nullptr);
  ASSERT_NE(state_->ini_handler, nullptr);

  SetEnvironmentVariableW(L"QVSUPPORT", nullptr);
  Create();
  EXPECT_EQ(state_->report_file_path, u"\\velkbug.ini");
}

TEST_F(RealPipeline, UnknownProgIdCannotBeCreated) {
  outside::ComObjectFactory factory;
  try {
    factory.Create(u"TOLVEX10.NoSuchClass");
    FAIL() << "creation must fail";
  } catch (const common::AutomationError& error) {
    EXPECT_EQ(error.number(), 429);
  }
}

TEST_F(RealPipeline, ReportFileAndRegistryLog) {
  AcceptLevel1Dll();
  Store(cat::kDebuggerShell, u"1");
  Store(cat::kDebuggerRegistry, u"1");
  Create();
  Add(u"first", 1, Value(), Value(Text(u"co first")));
  Add(u"rejected", 2);
  Add(u"multi\r\nline [x] = ; > Ελληνικά 中文 \U0001F600");

  EXPECT_EQ(Profile(L"DebuggerA", L"Counter"), L"3");
  std::wstring first = Profile(L"DebuggerAReport", L"0");
  EXPECT_EQ(first.rfind(L"1. (dll)  > APPOBJNOTHING > modTest > first > - > ", 0), 0u) << first;
  EXPECT_EQ(Profile(L"DebuggerAReport", L"1"), L"");
  EXPECT_EQ(Profile(L"DebuggerAReport", L"3"), L"<none>");

  // The INI file handler reads back exactly what the sink wrote.
  outside::IniFileHandler ini(state_->ini_handler);
  ini.SetPath(state_->report_file_path);
  ini.SetSection(u"DebuggerAReport");
  ini.SetKey(Value(2.0));
  Text third = *ini.GetValue().AsText();
  EXPECT_NE(third.find(u"> multi\r\nline [x] = ; > Ελληνικά 中文 \U0001F600 > "), Text::npos);
  Value names;
  EXPECT_EQ(ini.EnumerateCurrentSection(names), 3);
  ASSERT_TRUE(names.AsTextArray());
  EXPECT_EQ(names.AsTextArray()->items, (std::vector<Text>{u"0", u"1", u"2"}));

  EXPECT_EQ(Wide(Logged(cat::kSectionReport, u"AAAB")), first);
  EXPECT_EQ(Logged(cat::kSectionReportCo, u"AAAB"), u"co first");
  EXPECT_EQ(Logged(cat::kSectionReport, u"AAAC"), third);
  EXPECT_EQ(Logged(cat::kSectionReportCo, u"AAAC"), u"<none>");
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), u"AAAC");
}

TEST_F(RealPipeline, LiveWindowAtTheCornerShowsTheLatestLine) {
  AcceptLevel1Dll();
  Store(cat::kDebuggerWindow, u"1");
  Create();
  Add(u"first");
  Add(u"second");
  HWND window = wine_test::FindOwnWindow(windows::kLiveWindowClass, L"");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT frame, client;
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(client.right, windows::TwipsToPixelsX(5940));
  EXPECT_EQ(client.bottom, windows::TwipsToPixelsY(1995));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME, 0);  // fixed border

  HWND box = GetWindow(window, GW_CHILD);
  ASSERT_NE(box, nullptr);
  RECT box_rect;
  GetWindowRect(box, &box_rect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&box_rect), 2);
  EXPECT_EQ(box_rect.left, 0);
  EXPECT_EQ(box_rect.top, 0);
  EXPECT_EQ(box_rect.right, client.right);
  EXPECT_EQ(box_rect.bottom, client.bottom);
  wchar_t text[512] = {};
  GetWindowTextW(box, text, 512);
  EXPECT_EQ(std::wstring(text).rfind(L"2. (dll)  > APPOBJNOTHING > modTest > second > ", 0), 0u) << text;

  Add(u"rejected", 2);
  GetWindowTextW(box, text, 512);
  EXPECT_STREQ(text, L"");

  // Moved and closed by the user: the next message brings it back at the corner.
  SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  Add(u"third");
  window = wine_test::FindOwnWindow(windows::kLiveWindowClass, L"");
  ASSERT_NE(window, nullptr);
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  GetWindowTextW(GetWindow(window, GW_CHILD), text, 512);
  EXPECT_EQ(std::wstring(text).rfind(L"3. (dll)", 0), 0u) << text;
}

// Lines that come in a burst reach the text box itself (not only whoever asks it for its
// text) once the thread runs its message loop.
TEST_F(RealPipeline, LiveWindowTakesTheLastLineOfABurstAtTheNextMessageLoop) {
  AcceptLevel1Dll();
  Store(cat::kDebuggerWindow, u"1");
  Create();
  for (int i = 0; i < 20; ++i) Add(u"burst");
  HWND window = wine_test::FindOwnWindow(windows::kLiveWindowClass, L"");
  ASSERT_NE(window, nullptr);
  HWND box = GetWindow(window, GW_CHILD);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  // The edit control's own text, asked past the window's handling of the box.
  WNDCLASSW edit{};
  ASSERT_TRUE(GetClassInfoW(nullptr, L"EDIT", &edit));
  wchar_t text[512] = {};
  CallWindowProcW(edit.lpfnWndProc, box, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text).rfind(L"20. (dll)", 0), 0u) << text;
}

// The report folder as another drive names it: Wine's Z: drive shows the whole Unix tree.
std::wstring ThroughUnixDrive(const std::wstring& folder) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  auto to_unix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!to_unix) return folder;
  char* unix_path = to_unix(folder.c_str());
  if (!unix_path) return folder;
  std::string unix_text = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  // The prefix's drive C: is a link to its drive_c folder.
  const std::string link = "/dosdevices/c:/";
  if (size_t at = unix_text.find(link); at != std::string::npos) unix_text.replace(at, link.size(), "/drive_c/");
  std::wstring spelled = L"Z:";
  for (char c : unix_text) spelled += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return spelled;
}


// The logging programs: four of this build's pipeline_child, or the ones that
// VELK_PIPELINE_CHILDREN lists (separated by '|'), such as two of each bitness.
std::vector<std::wstring> Children() {
  wchar_t listed[4096] = {};
  std::vector<std::wstring> children;
  DWORD length = GetEnvironmentVariableW(L"VELK_PIPELINE_CHILDREN", listed, 4096);
  if (length > 0 && length < 4096) {
    std::wstring rest = listed;
    for (size_t bar; (bar = rest.find(L'|')) != std::wstring::npos; rest.erase(0, bar + 1))
      children.push_back(rest.substr(0, bar));
    children.push_back(rest);
    return children;
  }
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::vector<std::wstring>(4, std::filesystem::path(self).parent_path().wstring() + L"\\pipeline_child.exe");
}

// Several processes logging at once never share an entry number or a report key, also
// when each names the report folder its own way: as it is, with a trailing separator, in
// other letter case, through another drive. Half of them reach the INI file handler
// through its automation members alone, as another maker's handler: the report counter's
// lock then keeps the numbering exact. A process that held the registry log's lock when
// it was killed holds up nobody.
TEST_F(RealPipeline, ConcurrentProcessesNeverReuseEntriesOrKeys) {
  AcceptLevel1Dll();
  Store(cat::kDebuggerShell, u"1");
  Store(cat::kDebuggerRegistry, u"1");
  const std::vector<std::wstring> children = Children();
  const int processes = static_cast<int>(children.size());
  // 300 messages each from this build's four, 500 from a listed set.
  const int messages = GetEnvironmentVariableW(L"VELK_PIPELINE_CHILDREN", nullptr, 0) ? 500 : 300;
  std::wstring upper = folder_;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  const std::wstring spellings[] = {folder_, folder_ + L"\\", upper, ThroughUnixDrive(folder_)};
  ASSERT_EQ(spellings[3].rfind(L"Z:\\", 0), 0u) << spellings[3];
  auto start = [](std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      ADD_FAILURE() << "cannot start " << std::string(command.begin(), command.end());
    return process;
  };
  // The registry log's lock held by a process that is killed once the others wait for it.
  const std::wstring ready_name = L"velk-pipeline-holder-" + std::to_wstring(GetCurrentProcessId());
  winkit::Handle ready(CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str()));
  PROCESS_INFORMATION holder = start(L"\"" + children[0] + L"\" hold " + ready_name);
  ASSERT_EQ(WaitForSingleObject(ready.get(), 60000), WAIT_OBJECT_0);
  std::vector<PROCESS_INFORMATION> running;
  for (int i = 0; i < processes; ++i) {
    const std::wstring& child = children[static_cast<size_t>(i)];
    SetEnvironmentVariableW(L"QVSUPPORT", spellings[i % 4].c_str());  // inherited by the child
    running.push_back(start(L"\"" + child + L"\" " + std::to_wstring(messages) + L" p" + std::to_wstring(i) +
                            (i % 2 ? L" plain" : L"")));
  }
  SetEnvironmentVariableW(L"QVSUPPORT", folder_.c_str());
  Sleep(500);
  TerminateProcess(holder.hProcess, 9);
  CloseHandle(holder.hProcess);
  CloseHandle(holder.hThread);
  for (auto& process : running) {
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 240000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }

  const int total = processes * messages;
  EXPECT_EQ(Profile(L"DebuggerA", L"Counter"), std::to_wstring(total));
  std::set<std::wstring> lines;
  for (int i = 0; i < total; ++i) lines.insert(Profile(L"DebuggerAReport", std::to_wstring(i).c_str()));
  EXPECT_EQ(lines.size(), static_cast<size_t>(total));
  EXPECT_EQ(lines.count(L"<none>"), 0u);

  Text key = u"AAAA";
  std::set<Text> logged;
  for (int i = 0; i < total; ++i) {
    key = component::NextReportKey(key);
    logged.insert(Logged(cat::kSectionReport, key));
  }
  EXPECT_EQ(Logged(cat::kSectionReport, cat::kDebuggerAKS), key);
  EXPECT_EQ(logged.size(), static_cast<size_t>(total));
  EXPECT_EQ(logged.count(u"<none>"), 0u);
}

}  // namespace
