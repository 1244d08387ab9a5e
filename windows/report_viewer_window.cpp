#include "windows/report_viewer_window.h"

#include <commctrl.h>

#include <algorithm>

#include "component/error_report.h"
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

ReportViewerWindow::~ReportViewerWindow() { DestroyUnheard(window_); }

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

void ReportViewerWindow::LoadDebugInfoInwindow() {
  try {
    viewer::LoadDebugInfoInwindow(rows_, source_);
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
}

void ReportViewerWindow::ClearSingleSelection() {
  if (SendMessageW(list_view_, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return;
  auto focused = static_cast<int>(SendMessageW(list_view_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (focused < 0 || !SendMessageW(list_view_, LVM_GETITEMSTATE, focused, LVIS_SELECTED)) return;
  LVITEMW none{};
  none.stateMask = LVIS_SELECTED;
  SendMessageW(list_view_, LVM_SETITEMSTATE, focused, reinterpret_cast<LPARAM>(&none));
}

std::vector<uint32_t> ReportViewerWindow::SelectedRows() const {
  std::vector<uint32_t> rows;
  int position = -1;
  while ((position = static_cast<int>(
              SendMessageW(list_view_, LVM_GETNEXTITEM, position, MAKELPARAM(LVNI_SELECTED, 0)))) >= 0 &&
         static_cast<size_t>(position) < rows_.size())
    rows.push_back(rows_.RowIdAt(position));
  return rows;
}

void ReportViewerWindow::SortBy(int column) {
  std::vector<uint32_t> selected = SelectedRows();
  int focused = static_cast<int>(SendMessageW(list_view_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  int focused_row = -1;
  if (focused >= 0 && static_cast<size_t>(focused) < rows_.size()) focused_row = static_cast<int>(rows_.RowIdAt(focused));
  rows_.SortBy(column);
  ShowRows(selected, focused_row);
}

void ReportViewerWindow::CopySelection() {
  std::vector<size_t> positions;
  for (uint32_t row : SelectedRows()) positions.push_back(rows_.PositionOfRow(row));
  if (positions.empty()) return;
  std::sort(positions.begin(), positions.end());
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
void ReportViewerWindow::ReloadFromKey() {
  component::RunTrapped(boxes_, u"LoadDebugInfoInwindow", [&] { LoadDebugInfoInwindow(); });
}

LRESULT ReportViewerWindow::Notify(NMHDR& header) {
  if (header.hwndFrom != list_view_) return 0;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        size_t length = 0;
        if (item.iItem >= 0 && static_cast<size_t>(item.iItem) < rows_.size() && item.iSubItem >= 0 &&
            item.iSubItem < kReportColumnCount) {
          TextView cell = rows_.Cell(item.iItem, item.iSubItem);
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
      for (size_t k = 0; k < count; ++k) {
        size_t position = (start + k) % count;
        TextView id = rows_.Cell(position, 0);
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
        if (message == WM_KEYDOWN && wparam == 'C' && KeyIsDown(VK_CONTROL)) {
          self->CopySelection();
          return 0;
        }
        break;
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
    case WM_SHOWWINDOW:
    case WM_DESTROY:
      WakeModalLoopOnClose(message, wparam);
      break;
    case WM_NCDESTROY:
      // The unload: the window is gone, and with it its rows and their order.
      window_ = list_view_ = nullptr;
      rows_ = viewer::ReportList(&collation_);
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace windows
