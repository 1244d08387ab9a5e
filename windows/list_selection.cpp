#include "windows/list_selection.h"

#include <commctrl.h>

#include <algorithm>

namespace windows {

namespace {

void SetState(HWND list, size_t position, UINT mask, UINT state) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, position, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

std::vector<size_t> SelectedPositions(HWND list, size_t count) {
  std::vector<size_t> positions;
  const auto selected = static_cast<size_t>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
  int position = -1;
  while (positions.size() < selected &&
         (position = static_cast<int>(
              SendMessageW(list, LVM_GETNEXTITEM, position, MAKELPARAM(LVNI_SELECTED, 0)))) >= 0 &&
         static_cast<size_t>(position) < count)
    positions.push_back(static_cast<size_t>(position));
  return positions;
}

int FocusedPosition(HWND list, size_t count) {
  auto focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  return focused >= 0 && static_cast<size_t>(focused) < count ? focused : -1;
}

void SelectOnly(HWND list, size_t position, size_t count) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (size_t selected : SelectedPositions(list, count))  // one by one: cheap for the few rows a search leaves selected
    SetState(list, selected, LVIS_SELECTED, 0);
  SetState(list, position, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SendMessageW(list, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(position));
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  SendMessageW(list, LVM_ENSUREVISIBLE, position, FALSE);
  InvalidateRect(list, nullptr, TRUE);
}

void ClearSingleSelection(HWND list) {
  if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return;
  auto focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (focused < 0 || !SendMessageW(list, LVM_GETITEMSTATE, focused, LVIS_SELECTED)) return;
  SetState(list, static_cast<size_t>(focused), LVIS_SELECTED, 0);
}

SelectionSnapshot::SelectionSnapshot(HWND list, const viewer::ReportList& rows) {
  const size_t count = rows.size();
  positions_ = SelectedPositions(list, count);
  for (size_t position : positions_) selected_.push_back(rows.RowIdAt(position));
  focused_position_ = FocusedPosition(list, count);
  if (focused_position_ >= 0) focused_row_ = rows.RowIdAt(static_cast<size_t>(focused_position_));
  const auto top = static_cast<size_t>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
  const auto per_page = static_cast<size_t>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
  last_in_view_ = count == 0 || top + per_page >= count;
  if (count) top_row_ = rows.RowIdAt(std::min(top, count - 1));
}

void SelectionSnapshot::SetStates(HWND list, const viewer::ReportList& rows) const {
  for (uint32_t row : selected_)
    if (const size_t position = rows.PositionOfRow(row); position != viewer::kNotFound)
      SetState(list, position, LVIS_SELECTED, LVIS_SELECTED);
  if (focused_row_ >= 0)
    if (const size_t position = rows.PositionOfRow(static_cast<uint32_t>(focused_row_)); position != viewer::kNotFound)
      SetState(list, position, LVIS_FOCUSED, LVIS_FOCUSED);
}

void SelectionSnapshot::Reselect(HWND list, const viewer::ReportList& rows) const {
  SetState(list, static_cast<size_t>(-1), LVIS_SELECTED, 0);
  SetStates(list, rows);
  if (focused_row_ >= 0)
    if (const size_t position = rows.PositionOfRow(static_cast<uint32_t>(focused_row_)); position != viewer::kNotFound)
      SendMessageW(list, LVM_ENSUREVISIBLE, position, FALSE);
}

void SelectionSnapshot::KeepAfterAppend(HWND list, const viewer::ReportList& rows) const {
  if (rows.sorted()) {  // rows moved: the selection and focus go with them
    for (size_t old : positions_) SetState(list, old, LVIS_SELECTED | LVIS_FOCUSED, 0);
    if (focused_position_ >= 0) SetState(list, static_cast<size_t>(focused_position_), LVIS_SELECTED | LVIS_FOCUSED, 0);
    SetStates(list, rows);
  }
  if (last_in_view_) {
    SendMessageW(list, LVM_ENSUREVISIBLE, rows.size() - 1, FALSE);
  } else if (rows.sorted()) {
    const auto now_top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const auto wanted = static_cast<int>(rows.PositionOfRow(top_row_));
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (wanted != now_top && SendMessageW(list, LVM_GETITEMRECT, now_top, reinterpret_cast<LPARAM>(&row)))
      SendMessageW(list, LVM_SCROLL, 0, (wanted - now_top) * (row.bottom - row.top));
  }
}

}  // namespace windows
