#include "windows/report_viewer_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "component/error_report.h"
#include "windows/clipboard_text.h"
#include "windows/list_selection.h"
#include "windows/save_rows.h"
#include "windows/text_prompt.h"
#include "winkit/module.h"
#include "winkit/wide_text.h"

namespace windows {

using viewer::kReportColumns;

namespace {

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;
constexpr DWORD kListStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;

using winkit::Wide;

bool KeyIsDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

constexpr UINT_PTR kFollowTimer = 1;

// Each command: its name in the error report, its menu text, and the key that runs it
// with Ctrl held (0: none).
struct CommandInfo {
  int command;
  const char16_t* name;
  const wchar_t* menu_text;
  WPARAM ctrl_key;
};
constexpr CommandInfo kCommands[] = {
    {kCommandOpen, u"Open", L"O&pen...\tCtrl+O", 'O'},
    {kCommandRegistryLog, u"RegistryLog", L"Re&gistry Log", 0},
    {kCommandCopy, u"Copy", L"&Copy\tCtrl+C", 'C'},
    {kCommandSelectAll, u"SelectAll", L"Select &All\tCtrl+A", 'A'},
    {kCommandFind, u"Find", L"&Find...\tCtrl+F", 'F'},
    {kCommandFilter, u"Filter", L"Fi&lter...\tCtrl+L", 'L'},
    {kCommandFollow, u"Follow", L"F&ollow", 0},
    {kCommandReload, u"LoadDebugInfoInwindow", L"&Reload\tF5", 0},
    {kCommandSaveAs, u"SaveAs", L"&Save As...\tCtrl+S", 'S'},
};

const CommandInfo* InfoOf(int command) {
  for (const CommandInfo& info : kCommands)
    if (info.command == command) return &info;
  return nullptr;
}

bool ProgramCommand(int command) { return command == kCommandOpen || command == kCommandRegistryLog; }

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

ReportViewerWindow::ReportViewerWindow(std::unique_ptr<ViewerSource> source, component::MessageBoxes& boxes,
                                       ViewerHost* host)
    : source_(std::move(source)),
      boxes_(boxes),
      host_(host),
      rows_(&collation_, source_->column_count()),
      find_(kReportViewerCaption, [this](TextView what, const viewer::FindOptions& options) {
        return FindRow(what, options);
      }) {}

ReportViewerWindow::~ReportViewerWindow() {
  find_.Close();
  DestroyUnheard(window_);
}

void ReportViewerWindow::Create() {
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
    RECT client;
    GetClientRect(window_, &client);
    list_view_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", kListStyle, 0, 0, client.right, client.bottom,
                                 window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kReportListId)),
                                 winkit::ThisModule(), nullptr);
    if (!list_view_) RaiseLastWindowError(u"Cannot create the list lvDebugInfo");
    SendMessageW(list_view_, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont(false)), FALSE);
    SendMessageW(list_view_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SetWindowSubclass(list_view_, &ListKeys, kReportListId, reinterpret_cast<DWORD_PTR>(this));
    SetColumns();
    if (host_) DragAcceptFiles(window_, TRUE);
  } catch (...) {
    DestroyWindow(window);
    throw;
  }
}

// The list control's columns: as many as the rows have.
void ReportViewerWindow::SetColumns() {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list_view_, LVM_GETHEADER, 0, 0));
  int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (; count > rows_.column_count(); --count) SendMessageW(list_view_, LVM_DELETECOLUMN, count - 1, 0);
  for (int i = std::max(count, 0); i < rows_.column_count(); ++i) {
    Text heading = kReportColumns[i].header;
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = TwipsToPixelsX(kReportColumns[i].width_twips);
    column.pszText = const_cast<wchar_t*>(Wide(heading));
    column.iSubItem = i;
    if (SendMessageW(list_view_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) != i)
      RaiseLastWindowError(u"Cannot add a column to lvDebugInfo");
  }
}

void ReportViewerWindow::Load() {
  if (window_) return;
  Create();
  try {
    LoadDebugInfoInwindow();
  } catch (...) {
    // A window whose load failed is unloaded again; the next use starts afresh.
    DestroyWindow(window_);
    throw;
  }
}

void ReportViewerWindow::ShowAndLoad(const char16_t* command) {
  Create();
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  SetFocus(list_view_);
  UpdateCaption();
  UpdateWindow(window_);
  component::RunTrapped(boxes_, command, [&] { LoadDebugInfoInwindow(); });
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
  ShowRows();
}

void ReportViewerWindow::LoadDebugInfoInwindow() {
  try {
    source_->Load(rows_, watch_);
  } catch (...) {
    ShowRows();
    throw;
  }
  ShowRows();
}

void ReportViewerWindow::ShowSource(std::unique_ptr<ViewerSource> source) {
  source->Check();
  if (source->column_count() != rows_.column_count()) {
    viewer::ReportList rows(&collation_, source->column_count());
    rows.SetFilter(rows_.filter());
    if (rows_.sorted() && rows_.sort_column() < rows.column_count()) rows.SortBy(rows_.sort_column());
    rows_ = std::move(rows);
    if (list_view_) {
      ShowRows();  // no rows while the columns change
      SetColumns();
    }
  }
  source_ = std::move(source);
  if (!source_->followable()) SetFollowing(false);
  LoadDebugInfoInwindow();
}

void ReportViewerWindow::ShowRows() {
  if (!list_view_) return;
  SendMessageW(list_view_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_view_, LVM_DELETEALLITEMS, 0, 0);
  SendMessageW(list_view_, LVM_SETITEMCOUNT, rows_.size(), 0);
  SendMessageW(list_view_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_view_, nullptr, TRUE);
  UpdateCaption();
}

void ReportViewerWindow::UpdateCaption() {
  std::wstring caption = kReportViewerCaption;
  if (const std::wstring name = source_->caption_name(); !name.empty()) caption += L" - " + name;
  if (!rows_.filter().empty()) {
    const Text& filter = rows_.filter();
    caption += L" - filter: " + std::wstring(filter.begin(), filter.end()) + L" (" + std::to_wstring(rows_.size()) + L" of " +
               std::to_wstring(rows_.total()) + L")";
  }
  wchar_t shown[512];
  if (GetWindowTextW(window_, shown, 512) >= 511 || caption != shown)  // the frame repaints on every change
    SetWindowTextW(window_, caption.c_str());
}

void ReportViewerWindow::SortBy(int column) {
  if (column >= rows_.column_count()) return;
  const SelectionSnapshot kept(list_view_, rows_);
  rows_.SortBy(column);
  SendMessageW(list_view_, WM_SETREDRAW, FALSE, 0);
  kept.Reselect(list_view_, rows_);
  SendMessageW(list_view_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_view_, nullptr, TRUE);
}

std::optional<RECT> ReportViewerWindow::FindRow(TextView what, const viewer::FindOptions& options) {
  const int focused = FocusedPosition(list_view_, rows_.size());
  const size_t found = rows_.Find(what, focused >= 0 ? static_cast<size_t>(focused) : viewer::kNotFound, options);
  if (found == viewer::kNotFound) return std::nullopt;
  SelectOnly(list_view_, found, rows_.size());
  RECT row{};
  row.left = LVIR_BOUNDS;
  SendMessageW(list_view_, LVM_GETITEMRECT, found, reinterpret_cast<LPARAM>(&row));
  MapWindowPoints(list_view_, nullptr, reinterpret_cast<POINT*>(&row), 2);
  return row;
}

void ReportViewerWindow::PromptForFilter() {
  const Text current = rows_.filter();
  std::optional<Text> filter = PromptForText(window_, L"Filter", L"Show only the rows that contain:", current);
  ApplyFilter(filter ? *filter : Text());  // Escape shows every row again
}

void ReportViewerWindow::ApplyFilter(TextView text) {
  rows_.SetFilter(text);
  ShowRows();
}

void ReportViewerWindow::SetFollowing(bool on) {
  if (on == following_) return;
  if (!on) {
    KillTimer(window_, kFollowTimer);
    watch_.Stop();
    following_ = false;
    return;
  }
  if (!source_->followable()) return;
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

void ReportViewerWindow::AppendRows(const std::vector<viewer::ReportEntry>& entries) {
  const SelectionSnapshot kept(list_view_, rows_);
  if (rows_.Append(entries) > 0) {
    SendMessageW(list_view_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    kept.KeepAfterAppend(list_view_, rows_);
    InvalidateRect(list_view_, nullptr, TRUE);
  }
  UpdateCaption();  // the counts of a filter
}

void ReportViewerWindow::ShowContextMenu(POINT at) {
  if (at.x == -1 && at.y == -1) {  // from the keyboard: at the focused row, or the list's corner
    RECT place{};
    place.left = LVIR_LABEL;
    const int focused = FocusedPosition(list_view_, rows_.size());
    if (focused >= 0 && SendMessageW(list_view_, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&place)))
      at = {place.left, place.bottom};
    else
      at = {0, 0};
    ClientToScreen(list_view_, &at);
  }
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  const bool any_selected = SendMessageW(list_view_, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
  for (const CommandInfo& info : kCommands) {
    if (ProgramCommand(info.command) && !host_) continue;
    UINT flags = MF_STRING;
    if (info.command == kCommandCopy && !any_selected) flags |= MF_GRAYED;
    if (info.command == kCommandFollow) flags |= (following_ ? MF_CHECKED : 0) | (source_->followable() ? 0 : MF_GRAYED);
    if (info.command == kCommandCopy || info.command == kCommandFind || info.command == kCommandReload)
      if (GetMenuItemCount(menu) > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, flags, info.command, info.menu_text);
  }
  // The chosen command comes back as WM_COMMAND, after the menu has closed.
  TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, at.x, at.y, window_, nullptr);
  DestroyMenu(menu);
}

void ReportViewerWindow::RunCommand(int command) {
  const CommandInfo* info = InfoOf(command);
  if (!info || (ProgramCommand(command) && !host_)) return;
  component::RunTrapped(boxes_, info->name, [&] {
    switch (command) {
      case kCommandOpen:
        host_->Open();
        break;
      case kCommandRegistryLog:
        host_->OpenRegistryLog();
        break;
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
        find_.Open(window_);
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
      case kCommandSaveAs:
        SaveAs();
        break;
    }
  });
}

void ReportViewerWindow::CopySelection() {
  const std::vector<size_t> positions = SelectedPositions(list_view_, rows_.size());  // top to bottom
  if (!positions.empty()) PutTextOnClipboard(window_, rows_.CopyText(positions));
}

void ReportViewerWindow::SaveAs() { SaveRowsAs(window_, rows_, source_->export_name()); }

void ReportViewerWindow::Dropped(HDROP drop) {
  std::vector<std::wstring> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring file(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    file.resize(DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
    files.push_back(std::move(file));
  }
  DragFinish(drop);
  if (host_ && !files.empty()) component::RunTrapped(boxes_, u"Open", [&] { host_->Dropped(files); });
}

LRESULT ReportViewerWindow::Notify(NMHDR& header) {
  if (header.hwndFrom != list_view_) return 0;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        size_t length = 0;
        if (item.iItem >= 0 && static_cast<size_t>(item.iItem) < rows_.size() && item.iSubItem >= 0 &&
            item.iSubItem < rows_.column_count()) {
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
        if (wparam == VK_F5) {  // whatever Shift, Ctrl and Alt say: F5 has no caller to hand a failure to
          self->RunCommand(kCommandReload);
          return 0;
        }
        if (message == WM_KEYDOWN && KeyIsDown(VK_CONTROL) && !KeyIsDown(VK_MENU)) {
          for (const CommandInfo& info : kCommands) {
            if (info.ctrl_key && info.ctrl_key == wparam && (self->host_ || !ProgramCommand(info.command))) {
              self->RunCommand(info.command);
              return 0;
            }
          }
        }
        if (message == WM_KEYDOWN && wparam == VK_F3) {
          const bool down = !KeyIsDown(VK_SHIFT);
          component::RunTrapped(self->boxes_, u"Find", [&] { self->find_.Next(self->window_, down); });
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
    // A plain move or click selects one row in place of the others.
    const bool plain_move = message == WM_KEYDOWN && !KeyIsDown(VK_SHIFT) && !KeyIsDown(VK_CONTROL) &&
                            (wparam == VK_UP || wparam == VK_DOWN || wparam == VK_PRIOR || wparam == VK_NEXT ||
                             wparam == VK_HOME || wparam == VK_END);
    const bool plain_click = (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) &&
                             !(wparam & (MK_SHIFT | MK_CONTROL));
    if (plain_move || plain_click) ClearSingleSelection(list);
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
    case WM_DROPFILES:
      Dropped(reinterpret_cast<HDROP>(wparam));
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
      window_ = list_view_ = nullptr;
      find_.Close();
      following_ = false;
      watch_.Stop();
      rows_ = viewer::ReportList(&collation_, source_->column_count());
      break;
  }
  if (message == FindController::Message() && lparam) {
    component::RunTrapped(boxes_, u"Find", [&] { find_.OwnerMessage(window, message, lparam); });
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace windows
