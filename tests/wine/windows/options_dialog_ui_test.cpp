// The options dialog frmOptionsA opened by ShowDebuggerOptions on this thread and
// worked from a second thread through window messages, as a user would.
#include "windows/options_dialog.h"
#include "ui_fixture.h"
#include "windows/report_viewer_window.h"

using namespace ui;
using common::Text;
using windows::TwipsToPixelsX;
using windows::TwipsToPixelsY;
namespace cat = settings::catalog;
using Texts = std::vector<std::wstring>;

namespace {

const std::wstring kCaption = windows::kOptionsDialogCaption;
const std::wstring kViewerCaption = windows::kReportViewerCaption;

class OptionsDialogUi : public DebuggerWindows {
 protected:
  // Opens the dialog modal on this thread while `user` acts on it from another.
  void WithDialog(const std::function<void(HWND)>& user) {
    WhileModal([&] { debugger_->ShowDebuggerOptions(); },
               [&] {
                 if (HWND dialog = WaitForWindow(kCaption)) user(dialog);
               },
               {kViewerCaption, kCaption});
  }
  static bool Checked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  static int LevelSelection(HWND dialog) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, windows::kIdCmbLevel), CB_GETCURSEL, 0, 0));
  }
  static void Press(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  // Waits for the confirmation box, reads it and answers it.
  static MessageBoxInfo Confirm(int answer) {
    HWND box = WaitForWindow(L"Sure...");
    if (!box) return {};
    MessageBoxInfo info = ReadMessageBox(box);
    AnswerMessageBox(box, answer);
    WaitUntilGone(box);
    return info;
  }
  Text Written(const char16_t* key) { return Stored(cat::kSettingsApp, cat::kSectionDebuggerA, key); }
};

TEST_F(OptionsDialogUi, FrameControlsTabOrderFocusAndTooltip) {
  Create();
  Texts problems;
  std::wstring focus, tip;
  LOGFONTW heading{};
  WithDialog([&](HWND dialog) {
    LONG style = GetWindowLongW(dialog, GWL_STYLE);
    if (style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) problems.push_back(L"frame not fixed");
    if (!(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME)) problems.push_back(L"no dialog frame");
    if (GetWindow(dialog, GW_OWNER)) problems.push_back(L"has an owner");
    SIZE client = ClientSize(dialog);
    if (client.cx != TwipsToPixelsX(5745) || client.cy != TwipsToPixelsY(4230)) problems.push_back(L"client size");

    std::vector<int> stops;
    for (const windows::OptionsControlLayout& c : windows::kOptionsLayout) {
      HWND control = GetDlgItem(dialog, c.id);
      wchar_t kind[64] = {};
      GetClassNameW(control, kind, 64);
      RECT at = RectInParent(control);
      RECT want{TwipsToPixelsX(c.left), TwipsToPixelsY(c.top), TwipsToPixelsX(c.left) + TwipsToPixelsX(c.width),
                TwipsToPixelsY(c.top) + TwipsToPixelsY(c.height)};
      if (!control || _wcsicmp(kind, c.window_class) != 0 || TextOf(control) != c.caption || !EqualRect(&at, &want))
        problems.push_back(std::wstring(c.name) + L": " + kind + L" '" + TextOf(control) + L"' at " +
                           std::to_wstring(at.left) + L"," + std::to_wstring(at.top) + L" " +
                           std::to_wstring(at.right - at.left) + L"x" + std::to_wstring(at.bottom - at.top));
      if (GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) stops.push_back(c.id);
    }
    // Every control but the two labels takes the focus by Tab, in the table's order.
    if (stops.size() != 14u) problems.push_back(L"tab stops: " + std::to_wstring(stops.size()));
    for (size_t i = 0; i < stops.size(); ++i)
      if (GetDlgCtrlID(GetNextDlgTabItem(dialog, GetDlgItem(dialog, stops[i]), FALSE)) != stops[(i + 1) % stops.size()])
        problems.push_back(L"tab order after " + std::to_wstring(stops[i]));

    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread);
    focus = TextOf(thread.hwndFocus);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dialog, windows::kIdLabel1), WM_GETFONT, 0, 0)),
               sizeof heading, &heading);
    if (HWND tooltip = ThreadWindowOfClass(GetWindowThreadProcessId(dialog, nullptr), TOOLTIPS_CLASSW)) {
      wchar_t text[1024] = {};
      TTTOOLINFOW tool{};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      tool.hwnd = dialog;
      tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, windows::kIdCmdViewFile));
      tool.lpszText = text;
      SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
      tip = text;
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(problems, Texts{});
  EXPECT_EQ(focus, L"DebuggerAEnabled");  // chkDebugger has the focus at opening
  EXPECT_EQ(heading.lfWeight, 700);
  EXPECT_STREQ(heading.lfFaceName, L"MS Sans Serif");
  EXPECT_EQ(tip, ReportPath());
}

TEST_F(OptionsDialogUi, StoredValuesShowAndOkSavesThemAfterYes) {
  struct Case {
    const char16_t* key;
    int id;
    const char16_t* stored;
    bool checked;
  };
  const Case cases[] = {
      {cat::kDebuggerAEnabled, windows::kIdChkDebugger, u"1", true},
      {cat::kDebuggerAEnabledDLL, windows::kIdChkDebuggerAEnabledDLL, u"0.6", true},
      {cat::kDebuggerAEnabledEXE, windows::kIdChkDebuggerAEnabledEXE, u"0.5", false},
      {cat::kDebuggerAEnabledOCX, windows::kIdChkDebuggerAEnabledOCX, u"1abc", true},
      {cat::kDebuggerRegistry, windows::kIdChkDebuggerRegistry, u"-1", false},
      {cat::kDebuggerWindow, windows::kIdChkDebuggerWindow, u"2", true},  // checked, yet no viewer at creation
      {cat::kDebuggerShell, windows::kIdChkDebuggerShell, u"", false},
  };
  for (const Case& c : cases) Store(c.key, c.stored);
  platform_.settings.WriteSetting(cat::kMakerApp, cat::kSectionMarivale, cat::kCleanMachineEnvVar, u"1.5");
  Store(cat::kDebuggerAEnabledLevel, u"1.4");
  Create();
  std::vector<bool> shown;
  int level = 99;
  bool open_after_no = false;
  MessageBoxInfo box;
  WithDialog([&](HWND dialog) {
    for (const Case& c : cases) shown.push_back(Checked(dialog, c.id));
    shown.push_back(Checked(dialog, windows::kIdChkCleanMachineEnvVar));
    level = LevelSelection(dialog);
    PostMessageW(GetDlgItem(dialog, windows::kIdChkDebuggerShell), BM_CLICK, 0, 0);  // an edit
    Press(dialog, windows::kIdCmdOK);
    Confirm(IDNO);  // No: nothing saved, the dialog stays
    Sleep(100);
    open_after_no = IsWindowVisible(dialog);
    Press(dialog, windows::kIdCmdOK);
    box = Confirm(IDYES);
    WaitUntilGone(dialog);
  });
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(shown[i], cases[i].checked) << common::ToUtf8(cases[i].key);
    const char16_t* saved = cases[i].id == windows::kIdChkDebuggerShell || cases[i].checked ? u"1" : u"0";
    EXPECT_EQ(Written(cases[i].key), saved) << common::ToUtf8(cases[i].key);
  }
  EXPECT_TRUE(shown.back());  // CleanMachineEnvVar 1.5 rounds to 2
  EXPECT_EQ(Stored(cat::kMakerApp, cat::kSectionMarivale, cat::kCleanMachineEnvVar), u"1");
  EXPECT_EQ(level, 0);  // 1.4 shows "1"
  EXPECT_EQ(Written(cat::kDebuggerAEnabledLevel), u"1");
  EXPECT_TRUE(open_after_no);
  EXPECT_EQ(box.text, L"Are you sure?");
  EXPECT_EQ(box.buttons, (Texts{L"&Yes", L"&No"}));
  EXPECT_EQ(box.default_button, L"&Yes");
  EXPECT_TRUE(box.has_icon);
  EXPECT_EQ(state_->debugger_shell, 0);  // saving does not reload the switches...

  for (auto [stored, item] : {std::pair{u"3", CB_ERR}, std::pair{u"2.5", 1}}) {
    Store(cat::kDebuggerAEnabledLevel, stored);
    WithDialog([&](HWND dialog) {
      level = LevelSelection(dialog);
      Press(dialog, windows::kIdCmdOK);
      Confirm(IDYES);
      WaitUntilGone(dialog);
    });
    EXPECT_EQ(level, item);
    EXPECT_EQ(Written(cat::kDebuggerAEnabledLevel), item == CB_ERR ? u"0" : u"2");
  }
  EXPECT_EQ(state_->debugger_shell, 1);  // ...the next opening does
}

TEST_F(OptionsDialogUi, KeysAndCloseCommandsSaveNothing) {
  Create();
  auto closes = [&](const std::function<void(HWND)>& leave) {
    bool closed = false;
    WithDialog([&](HWND dialog) {
      // An edit (the click leaves the focus on DebuggerWindow), and Enter, which does nothing there.
      PostMessageW(GetDlgItem(dialog, windows::kIdChkDebuggerWindow), BM_CLICK, 0, 0);
      PostMessageW(GetDlgItem(dialog, windows::kIdChkDebuggerWindow), WM_KEYDOWN, VK_RETURN, 1);
      leave(dialog);
      closed = WaitUntilGone(dialog, 3000) && WindowsWithCaption(L"Sure...").empty();
    });
    return closed;
  };
  using windows::kIdCmdCancel, windows::kIdCmbLevel, windows::kIdCmdViewFile, windows::kIdChkDebugger;
  EXPECT_TRUE(closes([](HWND d) { Press(d, kIdCmdCancel); }));
  EXPECT_TRUE(closes([](HWND d) {  // from DebuggerWindow, six Tabs wrap round to "&Cancel"; Enter presses it
    for (int i = 0; i < 6; ++i) PostMessageW(GetDlgItem(d, kIdChkDebugger), WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(GetDlgItem(d, kIdCmdCancel), WM_KEYDOWN, VK_RETURN, 1);
  }));
  EXPECT_TRUE(closes([](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }));
  EXPECT_TRUE(closes([](HWND d) { PostMessageW(GetDlgItem(d, kIdCmbLevel), WM_KEYDOWN, VK_ESCAPE, 1); }));
  EXPECT_TRUE(closes([](HWND d) {  // Alt+Escape
    PostMessageW(GetDlgItem(d, kIdCmdViewFile), WM_SYSKEYDOWN, VK_ESCAPE, 0x20000001);
  }));
  EXPECT_TRUE(closes([](HWND d) { PostMessageW(GetDlgItem(d, kIdChkDebugger), WM_SYSCHAR, L'c', 0x20000001); }));
  EXPECT_EQ(Written(cat::kDebuggerWindow), u"<none>");

  WithDialog([&](HWND dialog) {  // Alt+O is OK: it asks first
    PostMessageW(GetDlgItem(dialog, kIdChkDebugger), WM_SYSCHAR, L'o', 0x20000001);
    Confirm(IDYES);
    WaitUntilGone(dialog);
  });
  EXPECT_EQ(Written(cat::kDebuggerWindow), u"0");
}

// Clear File in a client that has logged: the report goes, also when it is read-only,
// and every message after it goes into a new file, in order, from entry 0.
TEST_F(OptionsDialogUi, ClearFileDeletesTheReportEvenReadOnly) {
  Store(cat::kDebuggerAEnabledLevel, u"1");
  Store(cat::kDebuggerAEnabledDLL, u"1");
  Store(cat::kDebuggerShell, u"1");
  Create();
  auto add = [&](const char16_t* text) {
    outside::Value extra;
    component::DebugMessage message{text, u"dll", u"modTest", 1, &extra, nullptr};
    debugger_->AddDebugMessage(message);
  };
  add(u"before one");
  add(u"before two");
  SetFileAttributesW(ReportPath().c_str(), FILE_ATTRIBUTE_READONLY);
  bool kept_after_no = false, gone_after_yes = false, quiet_without_file = false;
  WithDialog([&](HWND dialog) {
    Press(dialog, windows::kIdCmdClearFile);
    Confirm(IDNO);
    kept_after_no = GetFileAttributesW(ReportPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    Press(dialog, windows::kIdCmdClearFile);
    Confirm(IDYES);
    Sleep(100);
    gone_after_yes = GetFileAttributesW(ReportPath().c_str()) == INVALID_FILE_ATTRIBUTES;
    Press(dialog, windows::kIdCmdClearFile);  // no file now: no message either
    Confirm(IDYES);
    Sleep(300);
    quiet_without_file = DialogWindows().empty() && IsWindowVisible(dialog);
    Press(dialog, windows::kIdCmdCancel);
  });
  EXPECT_TRUE(kept_after_no);
  EXPECT_TRUE(gone_after_yes);
  EXPECT_TRUE(quiet_without_file);

  // The next reports start a new file at entry 0, and nothing of the old one stays.
  for (const char16_t* text : {u"after one", u"after two", u"after three"}) add(text);
  auto profile = [&](const wchar_t* section, const wchar_t* key) {
    wchar_t text[1024] = {};
    GetPrivateProfileStringW(section, key, L"<none>", text, 1024, ReportPath().c_str());
    return std::wstring(text);
  };
  EXPECT_EQ(profile(L"DebuggerA", L"Counter"), L"3");
  const wchar_t* after[] = {L"after one", L"after two", L"after three"};
  for (int i = 0; i < 3; ++i) {
    const std::wstring entry = profile(L"DebuggerAReport", std::to_wstring(i).c_str());
    EXPECT_NE(entry.find(std::wstring(L"> modTest > ") + after[i] + L" > "), std::wstring::npos) << entry;
  }
  std::error_code ignored;
  for (const auto& file : std::filesystem::directory_iterator(folder_, ignored))
    EXPECT_EQ(file.path().filename().wstring(), L"velkbug.ini");
}

TEST_F(OptionsDialogUi, ViewFileOpensTheReportInItsProgramMaximized) {
  Create();
  Entry(u"0", u"a line");
  HWND opened = nullptr;
  WithDialog([&](HWND dialog) {
    Press(dialog, windows::kIdCmdViewFile);
    for (int waited = 0; !opened && waited < 15000; waited += 100) {
      Sleep(100);
      opened = StartedProcessWindow(L"velkbug");  // the program associated with .ini files
    }
    Press(dialog, windows::kIdCmdCancel);
  });
  ASSERT_NE(opened, nullptr) << "no window shows the report file";
  EXPECT_TRUE(IsZoomed(opened));
  DWORD pid = 0;
  GetWindowThreadProcessId(opened, &pid);
  PostMessageW(opened, WM_CLOSE, 0, 0);
  if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid)) {
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 0);
    CloseHandle(process);
  }
}

TEST_F(OptionsDialogUi, ViewDebuggerShowsTheViewerModalOrReportsTheRefusal) {
  Create();
  Entry(u"0", u"a > b");
  int rows = -1;
  bool dialog_enabled = false, open_after = false;
  WithDialog([&](HWND dialog) {
    Press(dialog, windows::kIdCmdViewDebugger);
    if (HWND viewer = WaitForWindow(kViewerCaption)) {
      rows = ItemCount(GetDlgItem(viewer, windows::kReportListId));
      dialog_enabled = IsWindowEnabled(dialog);
      PostMessageW(viewer, WM_CLOSE, 0, 0);
      WaitUntilGone(viewer);
    }
    Sleep(100);
    open_after = IsWindowVisible(dialog);
    Press(dialog, windows::kIdCmdCancel);
  });
  EXPECT_EQ(rows, 1);
  EXPECT_TRUE(dialog_enabled);
  EXPECT_TRUE(open_after);

  state_->debugger_window = 1;  // the viewer shown modeless first
  debugger_->CreateDebugInfoWindow();
  MessageBoxInfo refusal;
  WithDialog([&](HWND dialog) {
    Press(dialog, windows::kIdCmdViewDebugger);
    if (HWND box = WaitForWindow(L"400 -cmdViewDebugger")) {
      refusal = ReadMessageBox(box);
      AnswerMessageBox(box, IDOK);
      WaitUntilGone(box);
    }
    open_after = IsWindowVisible(dialog);
    Press(dialog, windows::kIdCmdCancel);
  });
  EXPECT_EQ(refusal.buttons, Texts{L"OK"});
  EXPECT_TRUE(open_after);
}

}  // namespace
