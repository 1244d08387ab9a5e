#include "windows/report_viewer_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "component/error_report.h"
#include "windows/text_prompt.h"
#include "winkit/module.h"
#include "winkit/wide_text.h"

namespace windows {

using viewer::kReportColumnCount;
using viewer::kReportColumns;

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;
constexpr DWORD kListStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;

using winkit::Wide;

bool KeyIsDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

constexpr UINT_PTR kFollowTimer = 1;
// The message by which the Find dialog talks to its owner.
UINT FindMessage() {
  static const UINT message = RegisterWindowMessageW(FINDMSGSTRINGW);
  return message;
}

const char16_t* CommandName(int command) {
  switch (command) {
    case kCommandCopy: return u"Copy";
    case kCommandSelectAll: return u"SelectAll";
    case kCommandFind: return u"Find";
    case kCommandFilter: return u"Filter";
    case kCommandFollow: return u"Follow";
    default: return u"LoadDebugInfoInwindow";
  }
}

}  // namespace

std::string LocaleCollation::SortKey(TextView text) const {
  if (text.empty()) return std::string();
  const auto* source = Wide(text);
  const int length = static_cast<int>(text.size());
  constexpr DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  int bytes = LCMapStringW(LOCALE_USER_DEFAULT, flags, source, length, nullptr, 0);
  if (bytes <= 0) return viewer::OrdinalIgnoreCaseCollation().SortKey(text);
  std::string key(static_cast<size_t>(bytes), '\0');
  LCMapStringW(LOCALE_USER_DEFAULT, flags, source, length, reinterpret_cast<wchar_t*>(key.data()), bytes);  // LCMAP_SORTKEY writes bytes
  while (!key.empty() && key.back() == '\0') key.pop_back();  // the terminator orders nothing
  return key;
}

ReportViewerWindow::~ReportViewerWindow() {
  if (find_keys_) UnhookWindowsHookEx(find_keys_);
  DestroyUnheard(window_);
}

void ReportViewerWindow::Load() {
  if (window_) return;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterFormClass(kReportViewerClass, true)) RaiseLastWindowError(u"Cannot register the report viewer window");

  RECT frame{0, 0, TwipsToPixelsX(kReportViewerWidthTwips), TwipsToPixelsY(kReportViewerHeightTwips)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  HWND window = CreateFormWindow(kExStyle, kReportViewerClass, kReportViewerCaption, kStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top);
  if (!window) RaiseLastWindowError(u"Cannot create the report viewer window");
  window_ = window;
  try {
    CreateList();
    LoadDebugInfoInwindow();
  } catch (...) {
    // A window whose load failed is unloaded again; the next use starts afresh.
    DestroyWindow(window);
    throw;
  }
}

void ReportViewerWindow::CreateList() {
  RECT client;
  GetClientRect(window_, &client);
  list_view_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", kListStyle, 0, 0, client.right, client.bottom,
                               window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kReportListId)), winkit::ThisModule(),
                               nullptr);
  if (!list_view_) RaiseLastWindowError(u"Cannot create the list lvDebugInfo");
  SendMessageW(list_view_, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont(false)), FALSE);
  SendMessageW(list_view_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  SetWindowSubclass(list_view_, &ListKeys, kReportListId, reinterpret_cast<DWORD_PTR>(this));
  for (int i = 0; i < kReportColumnCount; ++i) {
    Text header = kReportColumns[i].header;
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = TwipsToPixelsX(kReportColumns[i].width_twips);
    column.pszText = const_cast<wchar_t*>(Wide(header));
    column.iSubItem = i;
    if (SendMessageW(list_view_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) != i)
      RaiseLastWindowError(u"Cannot add a column to lvDebugInfo");
  }
}

bool ReportViewerWindow::IsVisible() const { return window_ && IsWindowVisible(window_); }

void ReportViewerWindow::ShowModeless() {
  Load();
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNORMAL);
}

void ReportViewerWindow::ShowModal() {
  Load();
  HWND window = window_;
  ShowWindow(window, SW_SHOWNORMAL);
  SetFocus(list_view_);
  RunModalLoop(window);
}

void ReportViewerWindow::ClearList() {
  Load();
  rows_.Clear();
  ShowRows({}, -1);
}

// A report file the INI engine wrote is read straight from disk; any other through the
// INI file handler, as the report-file sink wrote it.
void ReportViewerWindow::LoadDebugInfoInwindow() {
  const std::wstring path(source_.report_file_path.begin(), source_.report_file_path.end());
  try {
    rows_.Clear();
    outside::Require(source_.ini_handler);  // the reload's handler: none is an error either way
    bool whole = false;
    rows_.Reload([&](const viewer::ReportList::Add& add) { whole = watch_.ReadWhole(path, add); });
    if (!whole) {
      watch_.MarkRead(path);
      viewer::LoadDebugInfoInwindow(rows_, source_);
    }
  } catch (...) {
    ShowRows({}, -1);
    throw;
  }
  ShowRows({}, -1);
}

void ReportViewerWindow::ShowRows(const std::vector<uint32_t>& selected, int focused_row) {
  if (!list_view_) return;
  SendMessageW(list_view_, WM_SETREDRAW, FALSE, 0);
  if (static_cast<size_t>(SendMessageW(list_view_, LVM_GETITEMCOUNT, 0, 0)) != rows_.size() || selected.empty()) {
    // New rows: nothing selected, back at the top.
    SendMessageW(list_view_, LVM_DELETEALLITEMS, 0, 0);
    SendMessageW(list_view_, LVM_SETITEMCOUNT, rows_.size(), 0);
  } else {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list_view_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  }
  for (uint32_t row : selected) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageW(list_view_, LVM_SETITEMSTATE, rows_.PositionOfRow(row), reinterpret_cast<LPARAM>(&item));
  }
  if (focused_row >= 0) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_FOCUSED;
    size_t position = rows_.PositionOfRow(static_cast<uint32_t>(focused_row));
    SendMessageW(list_view_, LVM_SETITEMSTATE, position, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list_view_, LVM_ENSUREVISIBLE, position, FALSE);
  }
  SendMessageW(list_view_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_view_, nullptr, TRUE);
  UpdateCaption();
}

void ReportViewerWindow::UpdateCaption() {
  std::wstring caption = kReportViewerCaption;
  if (!rows_.filter().empty()) {
    const Text& filter = rows_.filter();
    caption += L" - filter: " + std::wstring(filter.begin(), filter.end()) + L" (" + std::to_wstring(rows_.size()) + L" of " +
               std::to_wstring(rows_.total()) + L")";
  }
  wchar_t shown[512];
  if (GetWindowTextW(window_, shown, 512) >= 511 || caption != shown)  // the frame repaints on every change
    SetWindowTextW(window_, caption.c_str());
}

int ReportViewerWindow::FocusedPosition() const {
  auto focused = static_cast<int>(SendMessageW(list_view_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  return focused >= 0 && static_cast<size_t>(focused) < rows_.size() ? focused : -1;
}

void ReportViewerWindow::ClearSingleSelection() {
  if (SendMessageW(list_view_, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return;
  auto focused = static_cast<int>(SendMessageW(list_view_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (focused < 0 || !SendMessageW(list_view_, LVM_GETITEMSTATE, focused, LVIS_SELECTED)) return;
  LVITEMW none{};
  none.stateMask = LVIS_SELECTED;
  SendMessageW(list_view_, LVM_SETITEMSTATE, focused, reinterpret_cast<LPARAM>(&none));
}

std::vector<size_t> ReportViewerWindow::SelectedPositions() const {
  std::vector<size_t> positions;
  // The control looks for the next selected row one row after another: it is asked only
  // as many times as there are selected rows.
  const auto count = static_cast<size_t>(SendMessageW(list_view_, LVM_GETSELECTEDCOUNT, 0, 0));
  int position = -1;
  while (positions.size() < count &&
         (position = static_cast<int>(
              SendMessageW(list_view_, LVM_GETNEXTITEM, position, MAKELPARAM(LVNI_SELECTED, 0)))) >= 0 &&
         static_cast<size_t>(position) < rows_.size())
    positions.push_back(static_cast<size_t>(position));
  return positions;
}

std::vector<uint32_t> ReportViewerWindow::SelectedRows() const {
  std::vector<uint32_t> rows;
  for (size_t position : SelectedPositions()) rows.push_back(rows_.RowIdAt(position));
  return rows;
}

void ReportViewerWindow::SortBy(int column) {
  std::vector<uint32_t> selected = SelectedRows();
  int focused = FocusedPosition();
  int focused_row = focused >= 0 ? static_cast<int>(rows_.RowIdAt(focused)) : -1;
  rows_.SortBy(column);
  ShowRows(selected, focused_row);
}

void ReportViewerWindow::SelectOnly(size_t position) {
  SendMessageW(list_view_, WM_SETREDRAW, FALSE, 0);
  for (size_t selected : SelectedPositions()) {  // one by one: cheap for the few rows a search leaves selected
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list_view_, LVM_SETITEMSTATE, selected, reinterpret_cast<LPARAM>(&none));
  }
  LVITEMW item{};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list_view_, LVM_SETITEMSTATE, position, reinterpret_cast<LPARAM>(&item));
  SendMessageW(list_view_, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(position));
  SendMessageW(list_view_, LVM_ENSUREVISIBLE, position, FALSE);
  SendMessageW(list_view_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_view_, nullptr, TRUE);
}

void ReportViewerWindow::OpenFindDialog() {
  if (find_dialog_) {
    SetFocus(find_dialog_);
    return;
  }
  find_.lStructSize = sizeof find_;
  find_.hwndOwner = window_;
  find_.lpstrFindWhat = find_text_;
  find_.wFindWhatLen = static_cast<WORD>(std::size(find_text_));
  if (!find_.Flags) find_.Flags = FR_DOWN;
  find_.Flags &= FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD;
  find_dialog_ = FindTextW(&find_);
  if (!find_dialog_) RaiseLastWindowError(u"Cannot open the Find dialog");
  if (!find_keys_) find_keys_ = SetWindowsHookExW(WH_GETMESSAGE, &FindDialogKeys, nullptr, GetCurrentThreadId());
}

LRESULT CALLBACK ReportViewerWindow::FindDialogKeys(int code, WPARAM wparam, LPARAM lparam) {
  auto& message = *reinterpret_cast<MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && message.hwnd && message.message >= WM_KEYFIRST &&
      message.message <= WM_KEYLAST) {
    // A find dialog is a dialog-class window owned by a viewer.
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    HWND owner = root ? GetWindow(root, GW_OWNER) : nullptr;
    wchar_t name[32] = {};
    if (owner && GetClassNameW(owner, name, 32) && wcscmp(name, kReportViewerClass) == 0 &&
        GetClassNameW(root, name, 32) && wcscmp(name, L"#32770") == 0 && IsDialogMessageW(root, &message))
      message.message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void ReportViewerWindow::OnFindMessage(const FINDREPLACEW& find) {
  if (find.Flags & FR_DIALOGTERM) {
    find_dialog_ = nullptr;
    if (find_keys_) UnhookWindowsHookEx(find_keys_);
    find_keys_ = nullptr;
    return;
  }
  if (find.Flags & FR_FINDNEXT) component::RunTrapped(boxes_, u"Find", [&] { FindNext(find.Flags & FR_DOWN); });
}

void ReportViewerWindow::FindNext(bool down) {
  const Text what(winkit::TextOf(find_text_));
  if (what.empty()) {
    OpenFindDialog();
    return;
  }
  viewer::FindOptions options;
  options.match_case = find_.Flags & FR_MATCHCASE;
  options.whole_word = find_.Flags & FR_WHOLEWORD;
  options.down = down;
  const int focused = FocusedPosition();
  size_t found = rows_.Find(what, focused >= 0 ? static_cast<size_t>(focused) : viewer::kNotFound, options);
  if (found == viewer::kNotFound) {
    const std::wstring text = L"Cannot find \"" + std::wstring(find_text_) + L"\".";
    MessageBoxW(find_dialog_ ? find_dialog_ : window_, text.c_str(), kReportViewerCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  SelectOnly(found);
}

void ReportViewerWindow::PromptForFilter() {
  const Text current = rows_.filter();
  std::optional<Text> filter = PromptForText(window_, L"Filter", L"Show only the rows that contain:", current);
  ApplyFilter(filter ? *filter : Text());  // Escape shows every row again
}

void ReportViewerWindow::ApplyFilter(TextView text) {
  rows_.SetFilter(text);
  ShowRows({}, -1);
}

void ReportViewerWindow::SetFollowing(bool on) {
  if (on == following_) return;
  if (!on) {
    KillTimer(window_, kFollowTimer);
    watch_.Stop();
    following_ = false;
    return;
  }
  watch_.Start();
  if (!SetTimer(window_, kFollowTimer, kFollowIntervalMs, nullptr)) {
    watch_.Stop();
    RaiseLastWindowError(u"Cannot start following the report file");
  }
  following_ = true;
  FollowStep();  // what came since the last reload
}

void ReportViewerWindow::FollowStep() {
  if (!following_) return;
  if (!watch_.watching()) {  // the report file moved to a folder that cannot be watched
    SetFollowing(false);
    return;
  }
  if (!watch_.LookIsDue()) return;
  std::vector<viewer::ReportEntry> entries;
  switch (watch_.ReadAdded(entries)) {
    case ReportFileWatch::Look::kReplaced:
      LoadDebugInfoInwindow();
      break;
    case ReportFileWatch::Look::kAdded:
      AppendRows(entries);
      break;
    case ReportFileWatch::Look::kNothingNew:
      break;
  }
}

// New rows keep the selection, the focus and the first row shown where they were, unless
// the last row was in view: then the new last row is.
void ReportViewerWindow::AppendRows(const std::vector<viewer::ReportEntry>& entries) {
  const size_t before = rows_.size();
  const auto top = static_cast<size_t>(SendMessageW(list_view_, LVM_GETTOPINDEX, 0, 0));
  const auto per_page = static_cast<size_t>(SendMessageW(list_view_, LVM_GETCOUNTPERPAGE, 0, 0));
  const bool last_in_view = before == 0 || top + per_page >= before;
  const uint32_t top_row = before ? rows_.RowIdAt(std::min(top, before - 1)) : 0;
  const std::vector<size_t> old_positions = SelectedPositions();
  std::vector<uint32_t> selected;
  for (size_t position : old_positions) selected.push_back(rows_.RowIdAt(position));
  const int focused = FocusedPosition();
  const int focused_row = focused >= 0 ? static_cast<int>(rows_.RowIdAt(focused)) : -1;

  const size_t added = rows_.Append(entries);
  if (added == 0) {
    UpdateCaption();  // the counts of a filter
    return;
  }
  SendMessageW(list_view_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
  if (rows_.sorted()) {  // rows moved: the selection and focus go with them
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    for (size_t old : old_positions) SendMessageW(list_view_, LVM_SETITEMSTATE, old, reinterpret_cast<LPARAM>(&state));
    if (focused >= 0) SendMessageW(list_view_, LVM_SETITEMSTATE, focused, reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    for (uint32_t row : selected)
      SendMessageW(list_view_, LVM_SETITEMSTATE, rows_.PositionOfRow(row), reinterpret_cast<LPARAM>(&state));
    if (focused_row >= 0) {
      state.state = state.stateMask = LVIS_FOCUSED;
      SendMessageW(list_view_, LVM_SETITEMSTATE, rows_.PositionOfRow(static_cast<uint32_t>(focused_row)),
                   reinterpret_cast<LPARAM>(&state));
    }
  }
  if (last_in_view) {
    SendMessageW(list_view_, LVM_ENSUREVISIBLE, rows_.size() - 1, FALSE);
  } else if (rows_.sorted()) {
    const auto now_top = static_cast<int>(SendMessageW(list_view_, LVM_GETTOPINDEX, 0, 0));
    const auto wanted = static_cast<int>(rows_.PositionOfRow(top_row));
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (wanted != now_top && SendMessageW(list_view_, LVM_GETITEMRECT, now_top, reinterpret_cast<LPARAM>(&row)))
      SendMessageW(list_view_, LVM_SCROLL, 0, (wanted - now_top) * (row.bottom - row.top));
  }
  InvalidateRect(list_view_, nullptr, TRUE);
  UpdateCaption();
}

void ReportViewerWindow::ShowContextMenu(POINT at) {
  if (at.x == -1 && at.y == -1) {  // from the keyboard: at the focused row, or the list's corner
    RECT place{};
    place.left = LVIR_LABEL;
    const int focused = FocusedPosition();
    if (focused >= 0 && SendMessageW(list_view_, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&place)))
      at = {place.left, place.bottom};
    else
      at = {0, 0};
    ClientToScreen(list_view_, &at);
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  const bool any_selected = SendMessageW(list_view_, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
  AppendMenuW(menu, MF_STRING | (any_selected ? 0 : MF_GRAYED), kCommandCopy, L"&Copy\tCtrl+C");
  AppendMenuW(menu, MF_STRING, kCommandSelectAll, L"Select &All\tCtrl+A");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kCommandFind, L"&Find...\tCtrl+F");
  AppendMenuW(menu, MF_STRING, kCommandFilter, L"Fi&lter...\tCtrl+L");
  AppendMenuW(menu, MF_STRING | (following_ ? MF_CHECKED : 0), kCommandFollow, L"F&ollow");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kCommandReload, L"&Reload\tF5");
  // The chosen command comes back as WM_COMMAND, after the menu has closed.
  TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, at.x, at.y, window_, nullptr);
  DestroyMenu(menu);
}

void ReportViewerWindow::RunCommand(int command) {
  component::RunTrapped(boxes_, CommandName(command), [&] {
    switch (command) {
      case kCommandCopy:
        CopySelection();
        break;
      case kCommandSelectAll: {
        LVITEMW all{};
        all.stateMask = all.state = LVIS_SELECTED;
        SendMessageW(list_view_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
        break;
      }
      case kCommandFind:
        OpenFindDialog();
        break;
      case kCommandFilter:
        PromptForFilter();
        break;
      case kCommandFollow:
        SetFollowing(!following_);
        break;
      case kCommandReload:
        LoadDebugInfoInwindow();
        break;
    }
  });
}

void ReportViewerWindow::CopySelection() {
  const std::vector<size_t> positions = SelectedPositions();  // top to bottom
  if (positions.empty()) return;
  Text text = rows_.CopyText(positions);
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return;
  if (void* target = GlobalLock(memory)) {
    std::copy_n(text.c_str(), text.size() + 1, static_cast<char16_t*>(target));
    GlobalUnlock(memory);
  }
  if (!OpenClipboard(window_)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  CloseClipboard();
}

// F5 has no caller to hand a failure to: the error report shows it, and the list
// keeps the rows read before it.
void ReportViewerWindow::ReloadFromKey() { RunCommand(kCommandReload); }

LRESULT ReportViewerWindow::Notify(NMHDR& header) {
  if (header.hwndFrom != list_view_) return 0;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        size_t length = 0;
        if (item.iItem >= 0 && static_cast<size_t>(item.iItem) < rows_.size() && item.iSubItem >= 0 &&
            item.iSubItem < kReportColumnCount) {
          Text scratch;
          TextView cell = rows_.Cell(item.iItem, item.iSubItem, scratch);
          length = std::min(cell.size(), static_cast<size_t>(item.cchTextMax - 1));
          std::copy_n(Wide(cell), length, item.pszText);
        }
        item.pszText[length] = L'\0';
      }
      return 0;
    }
    case LVN_ODFINDITEMW: {  // typing in the list: the next row whose ID starts with the typed text
      auto& find = reinterpret_cast<NMLVFINDITEMW&>(header);
      if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz || rows_.size() == 0) return -1;
      const Text typed(winkit::TextOf(find.lvfi.psz));
      const size_t count = rows_.size();
      const size_t start = find.iStart >= 0 ? static_cast<size_t>(find.iStart) % count : 0;
      Text scratch;
      for (size_t k = 0; k < count; ++k) {
        size_t position = (start + k) % count;
        TextView id = rows_.Cell(position, 0, scratch);
        if (id.size() >= typed.size() &&
            CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Wide(id),
                           static_cast<int>(typed.size()), Wide(typed), static_cast<int>(typed.size())) == CSTR_EQUAL)
          return static_cast<LRESULT>(position);
      }
      return -1;
    }
    case LVN_DELETEALLITEMS:  // no notice per row
      return TRUE;
    case LVN_COLUMNCLICK:
      SortBy(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
      return 0;
  }
  return 0;
}

LRESULT CALLBACK ReportViewerWindow::ListKeys(HWND list, UINT message, WPARAM wparam, LPARAM lparam,
                                              UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<ReportViewerWindow*>(data);
  try {
    switch (message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:  // with Alt held
        if (wparam == VK_F5) {  // whatever Shift, Ctrl and Alt say
          self->ReloadFromKey();
          return 0;
        }
        if (message == WM_KEYDOWN && KeyIsDown(VK_CONTROL) && !KeyIsDown(VK_MENU)) {
          const int command = wparam == 'C'   ? kCommandCopy
                              : wparam == 'A' ? kCommandSelectAll
                              : wparam == 'F' ? kCommandFind
                              : wparam == 'L' ? kCommandFilter
                                              : 0;
          if (command) {
            self->RunCommand(command);
            return 0;
          }
        }
        if (message == WM_KEYDOWN && wparam == VK_F3) {
          const bool down = !KeyIsDown(VK_SHIFT);
          component::RunTrapped(self->boxes_, u"Find", [&] { self->FindNext(down); });
          return 0;
        }
        if (wparam == VK_APPS || (wparam == VK_F10 && KeyIsDown(VK_SHIFT))) {
          self->ShowContextMenu({-1, -1});
          return 0;
        }
        break;
      case WM_KEYUP:
      case WM_SYSKEYUP:  // the platform's own context menu for these keys would come again
        if (wparam == VK_APPS || (wparam == VK_F10 && KeyIsDown(VK_SHIFT))) return 0;
        break;
      case WM_CONTEXTMENU:  // a right click, or the keys that the platform turns into one
        self->ShowContextMenu({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        return 0;
      case WM_NCDESTROY:
        RemoveWindowSubclass(list, &ListKeys, kReportListId);
        break;
    }
    // A plain move or click selects one row in place of the others. The list control
    // under Wine clears a virtual list's selection by visiting every row unless nothing
    // is selected, so the one selected row is cleared here first.
    const bool plain_move = message == WM_KEYDOWN && !KeyIsDown(VK_SHIFT) && !KeyIsDown(VK_CONTROL) &&
                            (wparam == VK_UP || wparam == VK_DOWN || wparam == VK_PRIOR || wparam == VK_NEXT ||
                             wparam == VK_HOME || wparam == VK_END);
    const bool plain_click = (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) &&
                             !(wparam & (MK_SHIFT | MK_CONTROL));
    if (plain_move || plain_click) self->ClearSingleSelection();
  } catch (...) {
    return 0;
  }
  return DefSubclassProc(list, message, wparam, lparam);
}

LRESULT ReportViewerWindow::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:  // the list always fills the client area; a minimised window gives 0 by 0
      if (list_view_) MoveWindow(list_view_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (list_view_) SetFocus(list_view_);
      return 0;
    case WM_NOTIFY:
      return Notify(*reinterpret_cast<NMHDR*>(lparam));
    case WM_COMMAND:
      if (HIWORD(wparam) == 0 && lparam == 0) RunCommand(LOWORD(wparam));  // a menu command
      return 0;
    case WM_TIMER:
      if (wparam == kFollowTimer) component::RunTrapped(boxes_, u"Follow", [&] {
          try {
            FollowStep();
          } catch (...) {
            SetFollowing(false);  // one report, not one a tick
            throw;
          }
        });
      return 0;
    case WM_SHOWWINDOW:
    case WM_DESTROY:
      WakeModalLoopOnClose(message, wparam);
      break;
    case WM_NCDESTROY:
      // The unload: the window is gone, and with it its rows, their order and filter, the
      // Find dialog it owned and the following.
      window_ = list_view_ = find_dialog_ = nullptr;
      if (find_keys_) UnhookWindowsHookEx(find_keys_);
      find_keys_ = nullptr;
      following_ = false;
      watch_.Stop();
      rows_ = viewer::ReportList(&collation_);
      break;
  }
  if (lparam && message == FindMessage()) {
    OnFindMessage(*reinterpret_cast<const FINDREPLACEW*>(lparam));
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace windows
