// velkview.exe, the report viewer as a program: started on a file, on none, on an absent
// file and on a folder; Ctrl+O through the Open dialog's controls; a dropped file; the
// registry log with the component's keys. The program runs in the test's own process
// (velkview/viewer_program.h, what its entry point runs), and once as the real program.
#include "ui_fixture.h"

#include <shlobj.h>

#include <algorithm>

#include "component/debug_message.h"
#include "component/report_key.h"
#include "velkview/viewer_program.h"

using namespace ui;
using Texts = std::vector<std::wstring>;

namespace {

const std::wstring kCaption = windows::kReportViewerCaption;
constexpr int kFileNameBox = 0x47C;  // the Open and Save dialogs' file name (cmb13)

common::Text ToText(const std::wstring& text) { return common::Text(text.begin(), text.end()); }

class VelkviewUi : public DebuggerWindows {
 protected:
  void SetUp() override {
    DebuggerWindows::SetUp();
    Create();  // the INI file handler that writes the report files
  }
  void TearDown() override {
    program_.reset();
    DebuggerWindows::TearDown();
  }
  // A report file at `path` with one entry a value, keys from 0, as the component writes it.
  void WriteReport(const std::wstring& path, const std::vector<common::Text>& values) {
    outside::IniFileHandler ini(state_->ini_handler);
    ini.SetPath(ToText(path));
    ini.SetSection(settings::catalog::kSectionReport);
    for (size_t i = 0; i < values.size(); ++i) {
      ini.SetKey(outside::Value(common::IntegerText(static_cast<int64_t>(i))));
      ini.SetValue(outside::Value(values[i]));
    }
  }
  // Runs `call` while another thread answers the first box of this process with OK; the
  // box's title and text, or nothing when none came before `call` returned.
  std::pair<std::wstring, std::wstring> AnswerBox(const std::function<void()>& call) {
    std::pair<std::wstring, std::wstring> seen;
    std::atomic<bool> returned{false};
    WhileModal(
        [&] {
          call();
          returned = true;
        },
        [&] {
          // Until the call returns: a box may be slow to come on a busy machine.
          for (; !returned; Sleep(20)) {
            const std::vector<HWND> boxes = DialogWindows();
            if (boxes.empty()) continue;
            seen = {TextOf(boxes[0]), ReadMessageBox(boxes[0]).text};
            AnswerMessageBox(boxes[0], IDOK);
            return;
          }
        },
        {});
    return seen;
  }
  // Starts the program in this process on `arguments`; any box it shows is answered.
  std::pair<std::wstring, std::wstring> Start(const std::vector<std::wstring>& arguments) {
    program_ = std::make_unique<velkview::ViewerProgram>();
    auto box = AnswerBox([&] { program_->Start(arguments); });
    window_ = program_->window().window();
    list_ = program_->window().list_view();
    return box;
  }
  // Drops `files` onto the window as the shell does.
  void Drop(const std::vector<std::wstring>& files) {
    size_t chars = 1;
    for (const auto& file : files) chars += file.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& file : files) out = std::copy(file.begin(), file.end(), out) + 1;
    GlobalUnlock(memory);
    SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);  // the window lets it go
  }
  // Ctrl+O; another thread puts `file` into the Open dialog and presses its button (Open,
  // or Cancel when `file` is empty) and reads the dialog's file types.
  Texts OpenThroughTheDialog(const std::wstring& file) {
    Texts types;
    WhileModal([&] { PressKey(list_, 'O', {VK_CONTROL}); },
               [&] {
                 HWND dialog = WaitForWindow(velkview::kOpenDialogTitle);
                 if (!dialog) return;
                 HWND type_box = GetDlgItem(dialog, 0x470);  // cmb1
                 for (int i = 0, n = static_cast<int>(SendMessageW(type_box, CB_GETCOUNT, 0, 0)); i < n; ++i) {
                   wchar_t text[128] = {};
                   SendMessageW(type_box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                   types.push_back(text);
                 }
                 SetDlgItemTextW(dialog, kFileNameBox, file.c_str());
                 const int button = file.empty() ? IDCANCEL : IDOK;
                 PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                 WaitUntilGone(dialog);
               },
               {velkview::kOpenDialogTitle});
    return types;
  }
  std::wstring Path(const wchar_t* name) const { return folder_ + L"\\" + name; }
  void FilterBy(const std::optional<std::wstring>& text) { ui::FilterBy(list_, text); }

  std::unique_ptr<velkview::ViewerProgram> program_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(VelkviewUi, StartsOnAFileOnNoneOnAnAbsentFileAndOnAFolder) {
  WriteReport(Path(L"velkbug.ini"), {u"1. (dll)  > q > default file"});
  WriteReport(Path(L"customer.ini"), {u"1. (dll)  > a > first", u"2. (dll)  > b > second"});
  CreateDirectoryW(Path(L"folder.ini").c_str(), nullptr);
  auto store = [&](const wchar_t* name, const std::string& bytes) {
    HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  };
  store(L"picture.ini", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  store(L"ansi.ini", "[DebuggerAReport]\r\n0=1. (dll)  > a > caf\xE9\r\n");  // read through the INI file handler
  store(L"empty.ini", "");
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring name;  // in the caption
    int rows;
    std::wstring box_title, box_text;
  } cases[] = {
      {{Path(L"customer.ini")}, L"customer.ini", 2, L"", L""},
      {{Path(L"customer.ini"), Path(L"velkbug.ini")}, L"customer.ini", 2, L"", L""},  // the first counts
      {{}, L"velkbug.ini", 1, L"", L""},                                                // %QVSUPPORT%\velkbug.ini
      {{Path(L"ansi.ini")}, L"ansi.ini", 1, L"", L""},
      {{Path(L"empty.ini")}, L"empty.ini", 0, L"", L""},
      {{Path(L"absent.ini")}, L"absent.ini", 0, L"53 -Open",
       L"Cannot open \"" + Path(L"absent.ini") + L"\": there is no such file."},
      {{Path(L"folder.ini")}, L"folder.ini", 0, L"75 -Open",
       L"Cannot open \"" + Path(L"folder.ini") + L"\": it is a folder, not a report file."},
      {{Path(L"picture.ini")}, L"picture.ini", 0, L"75 -Open",
       L"Cannot open \"" + Path(L"picture.ini") + L"\": it is not an INI file: it holds characters that no text file holds."},
  };
  for (const auto& c : cases) {
    const auto [title, text] = Start(c.arguments);
    EXPECT_EQ(title, c.box_title) << c.name;
    EXPECT_EQ(text, c.box_text) << c.name;
    ASSERT_TRUE(IsWindow(window_));  // the window stays, also after the box
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(TextOf(window_), kCaption + L" - " + c.name);
    EXPECT_EQ(ItemCount(list_), c.rows) << c.name;
    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window_));
  }
}

// The real program: a box for a file it cannot read, its window, and exit code 0.
TEST_F(VelkviewUi, TheProgramSaysWhatItCannotReadAndEndsWithZero) {
  std::wstring program = L"Z:";
  for (char c : std::string(VELKVIEW_EXE)) program += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  std::wstring command = L"\"" + program + L"\" \"" + Path(L"absent.ini") + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  auto wait_for = [&](const wchar_t* window_class) -> HWND {
    for (int waited = 0; waited < 30000; waited += 50, Sleep(50))
      for (HWND window : ProcessWindows(process.dwProcessId, window_class))
        if (IsWindowVisible(window)) return window;
    return nullptr;
  };
  HWND box = wait_for(L"#32770");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ReadMessageBox(box).text, L"Cannot open \"" + Path(L"absent.ini") + L"\": there is no such file.");
  AnswerMessageBox(box, IDOK);
  HWND viewer = wait_for(windows::kReportViewerClass);
  ASSERT_NE(viewer, nullptr);
  std::wstring caption;  // read across processes, as its thread gets to it
  for (int waited = 0; waited < 10000 && caption != kCaption + L" - absent.ini"; waited += 100, Sleep(100))
    caption = TextOf(viewer);
  EXPECT_EQ(caption, kCaption + L" - absent.ini");
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST_F(VelkviewUi, CtrlOOpensTheFileChosenInTheOpenDialog) {
  WriteReport(Path(L"first.ini"), {u"1. (dll)  > a > first"});
  WriteReport(Path(L"second.ini"), {u"1. (dll)  > b > one", u"2. (dll)  > b > two", u"3. (dll)  > b > three"});
  Start({Path(L"first.ini")});
  EXPECT_EQ(OpenThroughTheDialog(Path(L"second.ini")), (Texts{L"Report files (*.ini)", L"All files (*.*)"}));
  EXPECT_EQ(TextOf(window_), kCaption + L" - second.ini");
  EXPECT_EQ(ColumnTexts(list_, 3), (Texts{L"one", L"two", L"three"}));
  OpenThroughTheDialog(L"");  // Cancel: nothing changes
  EXPECT_EQ(TextOf(window_), kCaption + L" - second.ini");
  EXPECT_EQ(ItemCount(list_), 3);
  EXPECT_TRUE(DialogWindows().empty());
}

TEST_F(VelkviewUi, ADroppedFileOpensAndOneThatCannotBeReadChangesNothing) {
  WriteReport(Path(L"first.ini"), {u"1. (dll)  > a > first"});
  WriteReport(Path(L"customer.ini"), {u"1. (dll)  > modStore > x", u"2. (dll)  > modPrint > y"});
  WriteReport(Path(L"third.ini"), {u"1. (dll)  > c > third"});
  Start({Path(L"first.ini")});
  ClickHeader(list_, 2);
  FilterBy(L"mod");
  Drop({Path(L"customer.ini")});
  EXPECT_EQ(TextOf(window_), kCaption + L" - customer.ini - filter: mod (2 of 2)");  // the filter and the sort stay
  EXPECT_EQ(ColumnTexts(list_, 2), (Texts{L"modPrint", L"modStore"}));

  const auto [title, text] = AnswerBox([&] { Drop({folder_}); });
  EXPECT_EQ(title, L"75 -Open");
  EXPECT_EQ(text, L"Cannot open \"" + folder_ + L"\": it is a folder, not a report file.");
  EXPECT_EQ(TextOf(window_), kCaption + L" - customer.ini - filter: mod (2 of 2)");
  EXPECT_EQ(ItemCount(list_), 2);

  FilterBy(std::nullopt);
  Drop({Path(L"third.ini"), Path(L"first.ini")});  // several: the first
  EXPECT_EQ(TextOf(window_), kCaption + L" - third.ini");
  EXPECT_EQ(ColumnTexts(list_, 3), Texts{L"third"});
}

// 300 messages the component logged into the registry: ten columns, sorted, filtered,
// reloaded; from a file by the context menu's command, and back to a file.
TEST_F(VelkviewUi, TheRegistryLogSortedFilteredAndReloaded) {
  namespace cat = settings::catalog;
  for (const char16_t* key : {cat::kDebuggerRegistry, cat::kDebuggerAEnabledLevel, cat::kDebuggerAEnabledDLL})
    Store(key, u"1");
  Create();
  auto log = [&](int i) {
    outside::Value extra(common::Text(u"extra")), co_extra;
    if (i % 3 == 0) co_extra = outside::Value(u"co " + common::IntegerText(i));
    component::DebugMessage m{u"message " + common::IntegerText(i), u"dll", u"mod" + common::IntegerText(i % 7), 1,
                              &extra, &co_extra};
    debugger_->AddDebugMessage(m);
  };
  for (int i = 0; i < 300; ++i) log(i);

  Start({velkview::kRegistrySwitch});
  EXPECT_EQ(TextOf(window_), kCaption + L" - Registry Log");
  ASSERT_EQ(ItemCount(list_), 300);
  EXPECT_EQ(HeaderText(list_, 9), L"Co-extra");
  EXPECT_EQ(HeaderText(list_, 10), L"<none>");
  const Texts first = Row(list_, 0, 10);
  EXPECT_EQ(Texts(first.begin(), first.begin() + 6), (Texts{L"AAAB", L"1. (dll)", L"APPOBJNOTHING", L"mod0", L"message 0", L"extra"}));
  EXPECT_EQ(first[9], L"co 0");
  common::Text key = u"AAAB";
  for (int i = 1; i < 300; ++i) key = component::NextReportKey(key);
  EXPECT_EQ(ItemText(list_, 299, 0), std::wstring(key.begin(), key.end()));
  EXPECT_EQ(ItemText(list_, 297, 9), L"co 297");
  EXPECT_EQ(ItemText(list_, 299, 9), L"");

  SendMessageW(list_, LVM_SCROLL, 2000, 0);  // the tenth column into view
  ClickHeader(list_, 9);                     // by co-extra: the 200 without one first
  const Texts co = ColumnTexts(list_, 9);
  EXPECT_EQ(std::count(co.begin(), co.begin() + 200, L""), 200);
  EXPECT_TRUE(std::is_sorted(co.begin(), co.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  }));
  FilterBy(L"message 29");
  EXPECT_EQ(ItemCount(list_), 11);  // 29, 290 to 299
  log(300);
  PressKey(list_, VK_F5);
  EXPECT_EQ(TextOf(window_), kCaption + L" - Registry Log - filter: message 29 (11 of 301)");
  SendMessageW(window_, WM_COMMAND, windows::kCommandFollow, 0);
  EXPECT_FALSE(program_->window().following());  // the registry is not followed
  SendMessageW(window_, WM_CLOSE, 0, 0);

  WriteReport(Path(L"velkbug.ini"), {u"1. (dll)  > a > b"});
  Start({});
  SendMessageW(window_, WM_COMMAND, windows::kCommandRegistryLog, 0);
  EXPECT_EQ(TextOf(window_), kCaption + L" - Registry Log");
  EXPECT_EQ(ItemCount(list_), 301);
  OpenThroughTheDialog(Path(L"velkbug.ini"));
  EXPECT_EQ(TextOf(window_), kCaption + L" - velkbug.ini");
  EXPECT_EQ(HeaderText(list_, 9), L"<none>");  // nine columns again
  EXPECT_EQ(Row(list_, 0), (Texts{L"0", L"1. (dll)", L"a", L"b", L"", L"", L"", L"", L""}));
}

}  // namespace
