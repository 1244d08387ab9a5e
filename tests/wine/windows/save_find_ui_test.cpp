// The component's report viewer: Save As through the Save dialog's controls, as CSV and as
// tab-separated text read back byte for byte, and into a folder that cannot be written;
// the Find dialog taking its keys from the client's loop and moving off the row it found.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui_fixture.h"
#include "windows/report_viewer_window.h"
#include "windows/save_rows.h"

using namespace ui;

namespace {

constexpr int kFileNameBox = 0x47C, kTypeBox = 0x470, kFindWhat = 0x480;

struct Box {
  std::wstring title, text;
};

class SaveAndFindUi : public DebuggerWindows {
 protected:
  HWND OpenModeless() {
    state_->debugger_window = 1;
    debugger_->CreateDebugInfoWindow();
    HWND window = WaitForWindow(windows::kReportViewerCaption, 2000);
    list_ = window ? GetDlgItem(window, windows::kReportListId) : nullptr;
    return window;
  }
  // Ctrl+S; another thread types `file` into the Save dialog, picks the type at `type` (1
  // CSV, 2 tab-separated), presses Save, says Yes to replacing a file, and reads and
  // answers the box that follows, if one does.
  Box SaveAs(const std::wstring& file, int type) {
    Box box;
    std::atomic<bool> returned{false};
    WhileModal([&] {
                 PressKey(list_, 'S', {VK_CONTROL});
                 returned = true;
               },
               [&] {
                 HWND dialog = WaitForWindow(windows::kSaveDialogTitle);
                 if (!dialog) return;
                 HWND types = GetDlgItem(dialog, kTypeBox);
                 SendMessageW(types, CB_SETCURSEL, type - 1, 0);
                 for (WORD change : {CBN_SELCHANGE, CBN_SELENDOK})  // as a choice with the mouse ends
                   SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kTypeBox, change), reinterpret_cast<LPARAM>(types));
                 SetDlgItemTextW(dialog, kFileNameBox, file.c_str());
                 PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                 for (int waited = 0; waited < 10000 && !returned; waited += 20, Sleep(20)) {
                   for (HWND shown : DialogWindows()) {
                     if (shown == dialog) continue;
                     const std::wstring caption = CaptionOf(shown);
                     if (caption == windows::kSaveDialogTitle) {  // whether to replace the file: Yes
                       AnswerMessageBox(shown, IDYES);
                       WaitUntilGone(shown);
                     } else if (caption.ends_with(L"-SaveAs")) {
                       box = {caption, ReadMessageBox(shown).text};
                       AnswerMessageBox(shown, IDOK);
                       return;
                     }
                   }
                 }
                 if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
               },
               {});
    return box;
  }
  static std::string Bytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  static std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::wstring Focused() {
    const int focused = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    return focused < 0 ? L"<none>" : ItemText(list_, focused, 0);
  }
  HWND list_ = nullptr;
};

TEST_F(SaveAndFindUi, SaveAsWritesTheRowsShownAsCsvAndAsTabSeparatedText) {
  Create();
  Entry(u"0", u"q \"quoted\" > comma, here > tab\there");
  Entry(u"1", u"line\r\nbreak > Ελληνικά > 日本語 😀");
  Entry(u"2", u"plain > row");
  ASSERT_NE(OpenModeless(), nullptr);
  FilterBy(list_, L"e");  // not "plain > row"
  ClickHeader(list_, 1);  // "line..." before "q..."
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    const wchar_t* name;
    int type;
    std::string bytes;
  } cases[] = {
      {L"rows.csv", 1,
       bom + "ID,Product,Application,Ver,Module,Procedure,Extra1,Extra2,Now\r\n"
             "1,\"line\r\nbreak\",Ελληνικά,日本語 😀,,,,,\r\n"
             "0,\"q \"\"quoted\"\"\",\"comma, here\",tab\there,,,,,\r\n"},
      {L"rows.txt", 2,
       bom + "ID\tProduct\tApplication\tVer\tModule\tProcedure\tExtra1\tExtra2\tNow\r\n"
             "1\t\"line\r\nbreak\"\tΕλληνικά\t日本語 😀\t\t\t\t\t\r\n"
             "0\t\"q \"\"quoted\"\"\"\tcomma, here\t\"tab\there\"\t\t\t\t\t\r\n"},
      {L"rows.csv", 1, ""},  // again over the first: replaced whole (the same bytes)
  };
  for (const auto& c : cases) {
    const Box box = SaveAs(folder_ + L"\\" + c.name, c.type);
    EXPECT_EQ(box.title, L"") << box.text;
    EXPECT_EQ(Bytes(folder_ + L"\\" + c.name), c.bytes.empty() ? cases[0].bytes : c.bytes) << c.type;
  }
  EXPECT_EQ(Names(folder_), (std::vector<std::wstring>{L"rows.csv", L"rows.txt", L"velkbug.ini"}));  // nothing else
}

// A folder that cannot be written (tests/wine/windows/with_read_only_folder.sh makes one
// with a file kept.csv in it): a box says so, and the folder stays as it was.
TEST_F(SaveAndFindUi, SaveAsIntoAFolderThatCannotBeWrittenChangesNothing) {
  const wchar_t* read_only = _wgetenv(L"VELK_READ_ONLY_FOLDER");
  if (!read_only || !*read_only) GTEST_SKIP() << "no folder that cannot be written: VELK_READ_ONLY_FOLDER is not set";
  const std::wstring folder = read_only;
  const std::vector<std::wstring> names = Names(folder);
  const std::string kept = Bytes(folder + L"\\kept.csv");
  ASSERT_FALSE(kept.empty());
  Create();
  Entry(u"0", u"a > b");
  ASSERT_NE(OpenModeless(), nullptr);
  for (const wchar_t* name : {L"kept.csv", L"new.csv"}) {
    const std::wstring path = folder + L"\\" + name;
    const Box box = SaveAs(path, 1);
    EXPECT_EQ(box.title, L"70 -SaveAs") << name << ": " << box.text;
    EXPECT_TRUE(box.text.starts_with(L"Cannot save the rows as \"" + path + L"\": ")) << box.text;
    EXPECT_EQ(Names(folder), names);
    EXPECT_EQ(Bytes(folder + L"\\kept.csv"), kept);
  }
}

TEST_F(SaveAndFindUi, FindTakesItsKeysFromTheClientsLoopAndMovesOffTheRowItFound) {
  Create();
  for (int i = 0; i < 30; ++i) Entry(common::IntegerText(i), i == 5 ? u"needle > x" : u"hay > y");
  ASSERT_NE(OpenModeless(), nullptr);
  PressKey(list_, 'F', {VK_CONTROL});
  HWND find = WaitForWindow(L"Find", 2000);
  ASSERT_NE(find, nullptr);
  RECT row{};
  row.left = LVIR_BOUNDS;
  SendMessageW(list_, LVM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&row));
  MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&row), 2);
  RECT dialog;
  GetWindowRect(find, &dialog);
  SetWindowPos(find, HWND_TOP, row.left + 20, row.top - 10, 0, 0, SWP_NOSIZE);  // over the row
  Pump(100);

  // Typed, then Enter in its text box: this thread's loop stands for a client's.
  SetDlgItemTextW(find, kFindWhat, L"needle");
  HWND what = GetDlgItem(find, kFindWhat);
  SetFocus(what);
  PostMessageW(what, WM_KEYDOWN, VK_RETURN, 0x1C0001);
  Pump(300);
  EXPECT_EQ(Focused(), L"5");
  GetWindowRect(find, &dialog);
  RECT overlap;
  EXPECT_FALSE(IntersectRect(&overlap, &dialog, &row));
  RECT screen;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  EXPECT_TRUE(dialog.top >= screen.top && dialog.bottom <= screen.bottom);

  // Not over the row: it stays where it is.
  const RECT aside = dialog;
  PressKey(list_, VK_F3);
  EXPECT_EQ(Focused(), L"5");
  GetWindowRect(find, &dialog);
  EXPECT_TRUE(EqualRect(&dialog, &aside));
  PostMessageW(what, WM_KEYDOWN, VK_ESCAPE, 0x10001);  // Escape closes it, also through the client's loop
  Pump(300);
  EXPECT_FALSE(IsWindow(find));
}

}  // namespace
