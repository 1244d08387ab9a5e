#pragma once
// frmVELKDebuggerA: a sizable window whose list lvDebugInfo (a report-view list
// filling the client area) shows the entries of the report file in nine columns.
// The list is virtual: the rows live in a ReportList and the control asks for the
// texts it paints, so a reload of many entries costs the control nothing per row.
//
// Keys in the list: F5 (with any Shift, Ctrl or Alt) reloads; Ctrl+C copies the
// selected rows as tab-separated text. A header click sorts by that column.
#include <windows.h>

#include <vector>

#include "component/platform.h"
#include "viewer/report_list.h"
#include "windows/form_support.h"

namespace windows {

inline constexpr wchar_t kReportViewerClass[] = L"frmVELKDebuggerA";
inline constexpr wchar_t kReportViewerCaption[] = L"Kestrelon VELK - Debugger";
inline constexpr int kReportViewerWidthTwips = 11205;
inline constexpr int kReportViewerHeightTwips = 6150;
inline constexpr int kReportListId = 1;  // lvDebugInfo

// Text order under the user's locale, letter case ignored: the order of the list
// control's own text sorting.
class LocaleCollation : public viewer::TextCollation {
 public:
  std::string SortKey(TextView text) const override;
};

// The object stays while the module state holds it; each load makes a new window with new
// rows, and the window's unload drops them again.
class ReportViewerWindow : public component::ReportViewer, private Form {
 public:
  ReportViewerWindow(const component::ReportSource& source, component::MessageBoxes& boxes)
      : source_(source), boxes_(boxes) {}
  ~ReportViewerWindow() override;
  ReportViewerWindow(const ReportViewerWindow&) = delete;
  ReportViewerWindow& operator=(const ReportViewerWindow&) = delete;

  void Load() override;
  bool IsLoaded() const override { return window_ != nullptr; }
  bool IsVisible() const override;
  void ShowModeless() override;
  void ShowModal() override;
  void ClearList() override;

  // Rebuilds the list from the report file; a failure is raised after the list shows
  // the rows read before it.
  void LoadDebugInfoInwindow();

  HWND window() const { return window_; }
  HWND list_view() const { return list_view_; }
  const viewer::ReportList& rows() const { return rows_; }

 private:
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
  LRESULT Notify(NMHDR& header);
  // The list's keys: F5 and Ctrl+C.
  static LRESULT CALLBACK ListKeys(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                   DWORD_PTR data);
  void CreateList();
  // Tells the control the row count and repaints; keeps the selection on the rows in
  // `selected` (by row identity), or clears it.
  void ShowRows(const std::vector<uint32_t>& selected, int focused_row);
  std::vector<uint32_t> SelectedRows() const;
  // Clears the selection when it is just the focused row.
  void ClearSingleSelection();
  void SortBy(int column);
  void CopySelection();
  void ReloadFromKey();

  const component::ReportSource source_;
  component::MessageBoxes& boxes_;
  LocaleCollation collation_;
  viewer::ReportList rows_{&collation_};
  HWND window_ = nullptr;
  HWND list_view_ = nullptr;
};

}  // namespace windows
