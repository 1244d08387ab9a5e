#pragma once
// The report viewer's selection in its virtual list view. The list control keeps the
// selection by position; the viewer keeps it on the same rows (by row identity,
// viewer::ReportList::RowIdAt) when a sort, a reload or new rows move them.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "viewer/report_list.h"

namespace windows {

// The selected positions, top to bottom, among the first `count`. The control looks for
// the next selected row one row after another: it is asked only as often as there are
// selected rows.
std::vector<size_t> SelectedPositions(HWND list, size_t count);
// The focused position among the first `count`, or -1.
int FocusedPosition(HWND list, size_t count);
// Selects and focuses `position` alone and brings it into view.
void SelectOnly(HWND list, size_t position, size_t count);
// Clears the selection when it is just the focused row. The list control under Wine
// clears a virtual list's selection by visiting every row unless nothing is selected, so
// a plain move or click clears the one selected row first.
void ClearSingleSelection(HWND list);

// The selection, the focus and the view of a list at one moment, by row identity.
class SelectionSnapshot {
 public:
  SelectionSnapshot(HWND list, const viewer::ReportList& rows);

  // After the rows changed order (a sort): the same rows selected at their new places,
  // those the filter still shows; the focused one focused and in view.
  void Reselect(HWND list, const viewer::ReportList& rows) const;
  // After rows were added (Follow), the control told the new count: the selection and the
  // focus move with their rows when sorting moved them; the first row in view stays,
  // unless the last row was in view: then the new last row is.
  void KeepAfterAppend(HWND list, const viewer::ReportList& rows) const;

 private:
  void SetStates(HWND list, const viewer::ReportList& rows) const;

  std::vector<size_t> positions_;  // as they were
  std::vector<uint32_t> selected_;
  int focused_position_ = -1;
  int64_t focused_row_ = -1;
  uint32_t top_row_ = 0;
  bool last_in_view_ = true;
};

}  // namespace windows
