// The report viewer frmVELKDebuggerA as a user meets it: opened by the component's
// commands, read, sorted, reloaded, copied from, resized and closed.
#include "ui_fixture.h"
#include "windows/report_viewer_window.h"

using namespace ui;
using windows::TwipsToPixelsX;
using windows::TwipsToPixelsY;
using Texts = std::vector<std::wstring>;

namespace {

const std::wstring kCaption = windows::kReportViewerCaption;
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

}  // namespace
