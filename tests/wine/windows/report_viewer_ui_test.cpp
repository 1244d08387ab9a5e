// The report viewer frmVELKDebuggerA as a user meets it: opened by the component's
// commands, read, sorted, reloaded, copied from, resized and closed.
#include <optional>

#include "ui_fixture.h"
#include "windows/report_viewer_window.h"

using namespace ui;
using windows::TwipsToPixelsX;
using windows::TwipsToPixelsY;
using Texts = std::vector<std::wstring>;

namespace {

const std::wstring kCaption = windows::kReportViewerCaption;
// The helper that records messages through the core in a process of its own.
std::wstring PipelineChild() {
  std::wstring path = L"Z:";
  for (char c : std::string(VELK_PIPELINE_CHILD)) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}
const common::Text kLine = u"7. (dll)  > Ledger > Ledger Desk > 3.2 > modStore > OpenStore > - > 1/2/2026";

class ReportViewerUi : public DebuggerWindows {
 protected:
  // The viewer shown modeless by the component (on this thread), and its list.
  HWND OpenModeless() {
    state_->debugger_window = 1;
    debugger_->CreateDebugInfoWindow();
    HWND window = WaitForWindow(kCaption, 2000);
    list_ = window ? GetDlgItem(window, windows::kReportListId) : nullptr;
    return window;
  }
  static std::wstring Clipboard() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<no clipboard>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }
  // Runs `call` while another thread waits for the message box titled `title`,
  // reads it and presses OK.
  MessageBoxInfo ExpectBox(const std::wstring& title, const std::function<void()>& call) {
    MessageBoxInfo box;
    WhileModal(call,
               [&] {
                 if (HWND found = WaitForWindow(title)) {
                   box = ReadMessageBox(found);
                   AnswerMessageBox(found, IDOK);
                 }
               },
               {});
    return box;
  }
  // The focused row's ID, and the number of selected rows.
  std::wstring Focused() {
    int focused = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    return focused < 0 ? L"<none>" : ItemText(list_, focused, 0);
  }
  // Runs `call` while another thread waits for a message box of this process with this
  // title (which may be the viewer's own caption), reads it and presses OK.
  MessageBoxInfo ExpectDialogBox(const std::wstring& title, const std::function<void()>& call) {
    MessageBoxInfo box;
    WhileModal(call,
               [&] {
                 for (int waited = 0; waited < 5000 && !box.window; waited += 20, Sleep(20))
                   for (HWND found : DialogWindows())
                     if (TextOf(found) == title) box = ReadMessageBox(found);
                 if (box.window) AnswerMessageBox(box.window, IDOK);
               },
               {});
    return box;
  }
  void FilterBy(const std::optional<std::wstring>& text) { ui::FilterBy(list_, text); }
  // Runs the list's messages until `done` or 10 seconds.
  static bool PumpUntil(const std::function<bool()>& done) {
    for (int waited = 0; waited < 10000; waited += 50) {
      if (done()) return true;
      Pump(50);
    }
    return done();
  }
  HWND list_ = nullptr;
};

TEST_F(ReportViewerUi, WindowListColumnsAndRows) {
  Create();
  Entry(u"0", u"  " + kLine + u"  ");
  Entry(u"1", u"   ");                                                       // no row
  Entry(u"2", u"8. (dll)  > APPOBJNOTHING > modA > short one > - > 1/2/2026");  // six fields
  HWND window = OpenModeless();
  ASSERT_NE(window, nullptr);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  EXPECT_STREQ(name, L"frmVELKDebuggerA");
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME);  // sizable
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  SIZE client = ClientSize(window);
  EXPECT_EQ(client.cx, TwipsToPixelsX(11205));
  EXPECT_EQ(client.cy, TwipsToPixelsY(6150));

  ASSERT_NE(list_, nullptr);
  RECT list = RectInParent(list_);
  EXPECT_TRUE(list.left == 0 && list.top == 0 && list.right == client.cx && list.bottom == client.cy);
  EXPECT_EQ(GetWindowLongW(list_, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  const std::pair<const wchar_t*, int> columns[] = {{L"ID", 750},         {L"Product", 1875},  {L"Application", 3000},
                                                    {L"Ver", 450},        {L"Module", 1875},   {L"Procedure", 2625},
                                                    {L"Extra1", 1500},    {L"Extra2", 1500},   {L"Now", 2100}};
  for (int c = 0; c < 9; ++c) {
    EXPECT_EQ(HeaderText(list_, c), columns[c].first);
    EXPECT_EQ(ColumnWidth(list_, c), TwipsToPixelsX(columns[c].second)) << c;  // 50, 125, 200... at 96 DPI
  }
  EXPECT_EQ(HeaderText(list_, 9), L"<none>");

  ASSERT_EQ(ItemCount(list_), 2);
  EXPECT_EQ(Row(list_, 0), (Texts{L"0", L"7. (dll)", L"Ledger", L"Ledger Desk", L"3.2", L"modStore", L"OpenStore",
                                  L"-", L"1/2/2026"}));
  EXPECT_EQ(Row(list_, 1), (Texts{L"2", L"8. (dll)", L"APPOBJNOTHING", L"modA", L"short one", L"-", L"1/2/2026",
                                  L"", L""}));
}

TEST_F(ReportViewerUi, HeaderClicksF5AndCtrlC) {
  Create();
  Entry(u"9", u"b > x");
  Entry(u"10", u"a > y");
  Entry(u"2", u"C > z");
  ASSERT_NE(OpenModeless(), nullptr);
  ClickHeader(list_, 0);  // "ID", as text
  EXPECT_EQ(ColumnTexts(list_, 0), (Texts{L"10", L"2", L"9"}));
  ClickHeader(list_, 1);  // "Product", letter case aside
  EXPECT_EQ(ColumnTexts(list_, 1), (Texts{L"a", L"b", L"C"}));

  // F5 with any modifier reloads; new rows take their place in the order.
  const std::pair<const char16_t*, std::vector<int>> presses[] = {
      {u"B2", {}}, {u"A0", {VK_SHIFT}}, {u"c0", {VK_CONTROL}}, {u"d0", {VK_MENU}}};
  int key = 20;
  for (const auto& [value, held] : presses) {
    Entry(common::IntegerText(key++), value);
    PressKey(list_, VK_F5, held);
  }
  PressKey(list_, VK_F6);  // another key: nothing
  EXPECT_EQ(ColumnTexts(list_, 1), (Texts{L"a", L"A0", L"b", L"B2", L"C", L"c0", L"d0"}));

  // Ctrl+C copies the selected rows; a new order keeps the selection on them.
  SelectItem(list_, 2, true);  // "9 b x"
  SelectItem(list_, 0, true);  // "10 a y"
  OpenClipboard(nullptr);
  EmptyClipboard();
  CloseClipboard();
  PressKey(list_, 'C');  // without Ctrl: not a copy
  EXPECT_EQ(Clipboard(), L"");
  PressKey(list_, 'C', {VK_CONTROL});
  EXPECT_EQ(Clipboard(), L"10\ta\ty\t\t\t\t\t\t\r\n9\tb\tx\t\t\t\t\t\t\r\n");
  ClickHeader(list_, 0);
  EXPECT_EQ(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);  // "10"
  PressKey(list_, 'C', {VK_CONTROL});
  EXPECT_EQ(Clipboard(), L"10\ta\ty\t\t\t\t\t\t\r\n9\tb\tx\t\t\t\t\t\t\r\n");
}

TEST_F(ReportViewerUi, ResizeCloseAndReopen) {
  Create();
  Entry(u"1", u"b");
  Entry(u"0", u"a");
  HWND window = OpenModeless();
  ASSERT_NE(window, nullptr);
  for (int show : {SW_MINIMIZE, SW_MAXIMIZE, SW_RESTORE}) {
    ShowWindow(window, show);
    Pump(100);
    SIZE client = ClientSize(window);
    RECT list = RectInParent(list_);
    EXPECT_EQ(list.right - list.left, client.cx) << show;
    EXPECT_EQ(list.bottom - list.top, client.cy) << show;
  }
  ClickHeader(list_, 0);
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(state_->report_viewer->IsLoaded());  // unloaded

  Entry(u"2", u"c");
  ASSERT_NE(OpenModeless(), nullptr);  // a new viewer: read afresh, unsorted
  EXPECT_EQ(ColumnTexts(list_, 0), (Texts{L"1", L"0", L"2"}));
}

TEST_F(ReportViewerUi, ModalModelessAndHidden) {
  Create();
  Entry(u"0", kLine);
  debugger_->AddClearMessages();  // no viewer yet: a hidden one, loaded and emptied
  HWND hidden = WaitForWindow(kCaption, 2000, false);
  ASSERT_NE(hidden, nullptr);
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_EQ(ItemCount(GetDlgItem(hidden, windows::kReportListId)), 0);

  HWND other = CreateWindowExW(0, L"STATIC", L"another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                               nullptr, nullptr, nullptr, nullptr);
  int rows = -1;
  bool other_enabled = false;
  WhileModal([&] { debugger_->ShowDebuggerWindow(); },
             [&] {
               HWND window = WaitForWindow(kCaption);
               if (!window) return;
               rows = ItemCount(GetDlgItem(window, windows::kReportListId));
               other_enabled = IsWindowEnabled(other);
               PostMessageW(window, WM_CLOSE, 0, 0);
             },
             {kCaption});
  DestroyWindow(other);
  EXPECT_EQ(rows, 0);  // shown as it was, not read again
  EXPECT_TRUE(other_enabled);  // a modal viewer disables nothing
  EXPECT_FALSE(state_->report_viewer->IsLoaded());

  HWND window = OpenModeless();  // a new viewer lists the entry again
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ItemCount(list_), 1);
  try {
    debugger_->ShowDebuggerWindow();
    ADD_FAILURE() << "a viewer shown modeless cannot be shown modal";
  } catch (const common::AutomationError& error) {
    EXPECT_EQ(error.number(), 400);
  }
  debugger_->AddClearMessages();
  EXPECT_EQ(ItemCount(list_), 0);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(DialogWindows().empty());  // no message box on the way
}

TEST_F(ReportViewerUi, FailuresShowTheErrorReport) {
  Create();
  Entry(u"0", kLine);
  ASSERT_NE(OpenModeless(), nullptr);
  state_->report_file_path.clear();  // the handler refuses an empty path
  MessageBoxInfo box = ExpectBox(L"52 -LoadDebugInfoInwindow", [&] { PressKey(list_, VK_F5); });
  EXPECT_EQ(box.buttons, Texts{L"OK"});
  EXPECT_TRUE(box.has_icon);
  EXPECT_TRUE(IsWindow(list_));  // the viewer stays
  SendMessageW(GetParent(list_), WM_CLOSE, 0, 0);

  state_->ini_handler = nullptr;
  box = ExpectBox(L"91 -AddClearMessages", [&] { debugger_->AddClearMessages(); });
  EXPECT_EQ(box.text, L"Object variable or With block variable not set");
  EXPECT_TRUE(box.has_icon);
  EXPECT_TRUE(WindowsWithCaption(kCaption).empty());  // the failed viewer is gone
  EXPECT_FALSE(state_->report_viewer->IsLoaded());
}

TEST_F(ReportViewerUi, FindNextPreviousWrapAndNotFound) {
  Create();
  const char16_t* values[] = {u"alpha one > x", u"beta > x", u"Alpha two > x", u"alphabet > x", u"gamma > ALPHA"};
  for (int i = 0; i < 5; ++i) Entry(common::IntegerText(i), values[i]);
  HWND window = OpenModeless();
  ASSERT_NE(window, nullptr);

  PressKey(list_, 'F', {VK_CONTROL});
  HWND find = WaitForWindow(L"Find", 2000);
  ASSERT_NE(find, nullptr);
  EXPECT_EQ(GetWindow(find, GW_OWNER), window);
  constexpr int kWhat = 0x480, kWholeWord = 0x410, kMatchCase = 0x411, kUp = 0x420, kDown = 0x421;
  auto search = [&](const wchar_t* what, bool whole_word, bool match_case, bool down) {
    SetDlgItemTextW(find, kWhat, what);
    CheckDlgButton(find, kWholeWord, whole_word ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(find, kMatchCase, match_case ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(find, kUp, kDown, down ? kDown : kUp);
    SendMessageW(find, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(find, IDOK)));
    return Focused();
  };
  // Any column, letter case aside, down from nothing focused; on with F3, back with
  // Shift+F3, around past either end; the found row alone is selected.
  EXPECT_EQ(search(L"alpha", false, false, true), L"0");
  const std::pair<bool, const wchar_t*> presses[] = {
      {false, L"2"}, {false, L"3"}, {false, L"4"}, {false, L"0"}, {true, L"4"}, {true, L"3"}};
  for (const auto& [shift, expected] : presses) {
    PressKey(list_, VK_F3, shift ? std::vector<int>{VK_SHIFT} : std::vector<int>{});
    EXPECT_EQ(Focused(), expected) << shift;
  }
  EXPECT_EQ(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  EXPECT_EQ(search(L"Alpha", false, true, true), L"2");  // match case, down from row 3
  for (const wchar_t* expected : {L"0", L"4", L"2"})  // whole word, up: not "alphabet"
    EXPECT_EQ(search(L"alpha", true, false, false), expected);

  // Not found: said in a box over the dialog; the selection stays.
  MessageBoxInfo box = ExpectDialogBox(kCaption, [&] { search(L"zeta", false, false, true); });
  EXPECT_EQ(box.text, L"Cannot find \"zeta\".");
  EXPECT_EQ(Focused(), L"2");
  SendMessageW(find, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntilGone(find, 2000));
  box = ExpectDialogBox(kCaption, [&] { PressKey(list_, VK_F3); });  // F3 keeps the last text
  EXPECT_EQ(box.text, L"Cannot find \"zeta\".");
}

TEST_F(ReportViewerUi, FilterCountsInCaptionSortAndF5) {
  Create();
  const char16_t* modules[] = {u"modB", u"modA", u"other", u"MODA", u"modC"};
  for (int i = 0; i < 5; ++i) Entry(common::IntegerText(i), common::Text(u"p > ") + modules[i]);
  HWND window = OpenModeless();
  ASSERT_NE(window, nullptr);
  FilterBy(L"moda");
  EXPECT_EQ(TextOf(window), kCaption + L" - filter: moda (2 of 5)");
  EXPECT_EQ(ColumnTexts(list_, 0), (Texts{L"1", L"3"}));
  ClickHeader(list_, 2);  // sorts what the filter shows: "MODA" and "modA" keep their order
  EXPECT_EQ(ColumnTexts(list_, 2), (Texts{L"modA", L"MODA"}));
  Entry(u"5", u"p > a modA");
  PressKey(list_, VK_F5);
  EXPECT_EQ(ColumnTexts(list_, 2), (Texts{L"a modA", L"modA", L"MODA"}));
  EXPECT_EQ(TextOf(window), kCaption + L" - filter: moda (3 of 6)");

  FilterBy(std::nullopt);  // Escape: every row again
  EXPECT_EQ(TextOf(window), kCaption);
  EXPECT_EQ(ItemCount(list_), 6);
  FilterBy(L"mod");
  EXPECT_EQ(ItemCount(list_), 5);
  FilterBy(L"");  // an empty filter: every row
  EXPECT_EQ(TextOf(window), kCaption);
  EXPECT_EQ(ItemCount(list_), 6);
}

TEST_F(ReportViewerUi, ContextMenuHoldsEveryCommand) {
  Create();
  Entry(u"0", u"a");
  Entry(u"1", u"b");
  HWND window = OpenModeless();
  ASSERT_NE(window, nullptr);
  // Opens the menu with `open`; another thread reads it and picks the item with `pick`
  // (a mnemonic) or closes it with Escape.
  auto menu = [&](const std::function<void()>& open, wchar_t pick) {
    std::vector<std::pair<std::wstring, UINT>> items;
    WhileModal(open,
               [&] {
                 HWND popup = nullptr;
                 for (int waited = 0; !popup && waited < 5000; waited += 20, Sleep(20)) {
                   popup = wine_test::FindOwnWindow(L"#32768", nullptr);
                   if (popup && !IsWindowVisible(popup)) popup = nullptr;
                 }
                 if (!popup) return;
                 auto handle = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
                 for (int i = 0, n = GetMenuItemCount(handle); i < n; ++i) {
                   wchar_t text[64] = {};
                   if (GetMenuStringW(handle, i, text, 64, MF_BYPOSITION) > 0)  // separators aside
                     items.emplace_back(text, GetMenuState(handle, i, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED));
                 }
                 if (pick) PostMessageW(popup, WM_CHAR, pick, 1);
                 else PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
                 for (int tries = 0; tries < 20 && IsWindowVisible(popup); ++tries) {  // a menu never stays open
                   Sleep(250);
                   PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
                 }
               },
               {});
    return items;
  };
  using Items = std::vector<std::pair<std::wstring, UINT>>;
  const Items expected = {{L"&Copy\tCtrl+C", MF_GRAYED}, {L"Select &All\tCtrl+A", 0}, {L"&Find...\tCtrl+F", 0},
                          {L"Fi&lter...\tCtrl+L", 0},     {L"F&ollow", 0},             {L"&Reload\tF5", 0},
                          {L"&Save As...\tCtrl+S", 0}};
  EXPECT_EQ(menu([&] { PressKey(list_, VK_APPS); }, 0), expected);  // the Menu key, nothing selected
  EXPECT_EQ(menu([&] { PressKey(list_, VK_F10, {VK_SHIFT}); }, L'a'), expected);  // Select All
  Pump(100);  // the chosen command comes as a posted message
  EXPECT_EQ(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  // A right click; Follow goes on and is checked the next time.
  RECT row{};
  row.left = LVIR_BOUNDS;
  SendMessageW(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  const LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
  Items items = menu([&] {
    PostMessageW(list_, WM_RBUTTONUP, 0, at);  // waiting already: the list watches for a drag until it comes
    SendMessageW(list_, WM_RBUTTONDOWN, MK_RBUTTON, at);
  }, L'o');
  ASSERT_EQ(items.size(), expected.size());
  EXPECT_EQ(items[0].second, 0u);  // a row is selected: Copy is on
  Pump(100);
  EXPECT_TRUE(state_->report_viewer && dynamic_cast<windows::ReportViewerWindow&>(*state_->report_viewer).following());
  items = menu([&] { PressKey(list_, VK_APPS); }, L'o');
  EXPECT_EQ(items[4], (std::pair<std::wstring, UINT>{L"F&ollow", MF_CHECKED}));
  Pump(100);
  EXPECT_FALSE(dynamic_cast<windows::ReportViewerWindow&>(*state_->report_viewer).following());
  // Reload and Find from the menu.
  Entry(u"2", u"c");
  menu([&] { PressKey(list_, VK_APPS); }, L'r');
  Pump(100);
  EXPECT_EQ(ItemCount(list_), 3);
  menu([&] { PressKey(list_, VK_APPS); }, L'f');
  Pump(100);
  HWND find = WaitForWindow(L"Find", 2000);
  EXPECT_NE(find, nullptr);
  if (find) SendMessageW(find, WM_CLOSE, 0, 0);
}

// Entries written by another process through the component show up while following, in
// the sort order and through the filter; a deleted report file empties the list.
// Following while another process writes: into a file in an older form (no change counts,
// the counter without room: the first change rebuilds it in place), into a new file from
// its first message on; sorted and filtered, the rows always equal a fresh load (F5).
TEST_F(ReportViewerUi, FollowShowsWhatAnotherProcessWrites) {
  Store(settings::catalog::kDebuggerShell, u"1");
  Store(settings::catalog::kDebuggerAEnabledLevel, u"1");
  Store(settings::catalog::kDebuggerAEnabledDLL, u"1");
  auto write = [&](int count, const wchar_t* tag) {
    std::wstring command = L"\"" + PipelineChild() + L"\" " + std::to_wstring(count) + L" " + tag;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return -1;
    // The list's messages run while the other process writes.
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) Pump(0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
  };
  auto rows = [&] {
    std::vector<Texts> columns;
    for (int c = 0; c < viewer::kReportColumnCount; ++c) columns.push_back(ColumnTexts(list_, c));
    return columns;
  };
  // The followed rows, once `count` show, against a fresh load of the file.
  auto followed_equals_fresh = [&](int count) {
    if (!PumpUntil([&] { return ItemCount(list_) == count; })) return ::testing::AssertionFailure() << ItemCount(list_);
    Pump(2 * windows::kFollowIntervalMs);
    const std::vector<Texts> followed = rows();
    PressKey(list_, VK_F5);
    if (rows() != followed) return ::testing::AssertionFailure() << "differs from a fresh load";
    return ::testing::AssertionSuccess();
  };
  // A report in an older form: no change counts, the report section first, the counter
  // without room.
  std::string older("\xFF\xFE", 2);
  for (char c : std::string("[DebuggerAReport]\r\n0=1. (dll)  > APPOBJNOTHING > child > b-old > - > x\r\n"
                            "[DebuggerA]\r\nCounter=1\r\n"))
    older += std::string{c, '\0'};
  HANDLE file = CreateFileW(ReportPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, older.data(), static_cast<DWORD>(older.size()), &written, nullptr);
  CloseHandle(file);

  Create();
  ASSERT_EQ(write(3, L"a"), 0);
  HWND window = OpenModeless();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(ItemCount(list_), 4);
  const int kMessageColumn = 4;  // the child's message text (its lines have no application object)
  ClickHeader(list_, kMessageColumn);
  FilterBy(L"b-");
  EXPECT_EQ(ItemCount(list_), 1);
  SendMessageW(window, WM_COMMAND, windows::kCommandFollow, 0);

  ASSERT_EQ(write(12, L"b"), 0);
  EXPECT_TRUE(followed_equals_fresh(13));
  EXPECT_EQ(ColumnTexts(list_, kMessageColumn), (Texts{L"b-0", L"b-1", L"b-10", L"b-11", L"b-2", L"b-3", L"b-4", L"b-5",
                                                       L"b-6", L"b-7", L"b-8", L"b-9", L"b-old"}));
  EXPECT_EQ(TextOf(window), kCaption + L" - filter: b- (13 of 16)");

  DeleteFileW(ReportPath().c_str());  // cleared: the list follows
  EXPECT_TRUE(PumpUntil([&] { return TextOf(window) == kCaption + L" - filter: b- (0 of 0)"; }));
  ASSERT_EQ(write(1, L"b"), 0);  // a new file: its first message, then one that moves its section
  EXPECT_TRUE(followed_equals_fresh(1));
  ASSERT_EQ(write(2, L"b"), 0);
  EXPECT_TRUE(followed_equals_fresh(3));
  EXPECT_EQ(TextOf(window), kCaption + L" - filter: b- (3 of 3)");

  SendMessageW(window, WM_COMMAND, windows::kCommandFollow, 0);  // off: nothing more comes
  ASSERT_EQ(write(1, L"b"), 0);
  Pump(3 * windows::kFollowIntervalMs);
  EXPECT_EQ(ItemCount(list_), 3);
}

}  // namespace
