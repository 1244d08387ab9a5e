#pragma once
// frmVELKDebuggerA: a sizable window whose list lvDebugInfo (a report-view list
// filling the client area) shows the entries of the report file in nine columns.
// The list is virtual: the rows live in a ReportList and the control asks for the
// texts it paints, so a reload of many entries costs the control nothing per row.
//
// Keys in the list: F5 (with any Shift, Ctrl or Alt) reloads; Ctrl+C copies the
// selected rows as tab-separated text; Ctrl+A selects every row; Ctrl+F opens the Find
// dialog, F3 and Shift+F3 find the next and the previous match; Ctrl+L filters the rows;
// the Menu key, Shift+F10 and a right click open the context menu, which holds every
// command. A header click sorts by that column.
//
// Follow (off when the window loads): while on, entries added to the report file show up
// without a reload, in the sort order and through the filter; a replaced or deleted file
// is read again whole.
#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "component/platform.h"
#include "viewer/report_list.h"
#include "windows/form_support.h"
#include "windows/report_file_watch.h"

namespace windows {

inline constexpr wchar_t kReportViewerClass[] = L"frmVELKDebuggerA";
inline constexpr wchar_t kReportViewerCaption[] = L"Kestrelon VELK - Debugger";
inline constexpr int kReportViewerWidthTwips = 11205;
inline constexpr int kReportViewerHeightTwips = 6150;
inline constexpr int kReportListId = 1;  // lvDebugInfo

// The commands of the context menu, as WM_COMMAND identifiers of the window.
enum ReportViewerCommand : int {
  kCommandCopy = 101,
  kCommandSelectAll,
  kCommandFind,
  kCommandFilter,
  kCommandFollow,
  kCommandReload,
};
// How often a following viewer looks at its folder's change notification.
inline constexpr UINT kFollowIntervalMs = 200;

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
  HWND find_dialog() const { return find_dialog_; }
  const viewer::ReportList& rows() const { return rows_; }
  bool following() const { return following_; }
  // Shows only the rows that contain `text` (every row for an empty one), from the top.
  void ApplyFilter(TextView text);
  // One look at the report file while following: what the timer does. Returns at once
  // when nothing changed.
  void FollowStep();

 private:
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
  LRESULT Notify(NMHDR& header);
  // The list's keys and its context menu.
  static LRESULT CALLBACK ListKeys(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                   DWORD_PTR data);
  // Lets the Find dialog, which runs on the client's message loop, handle its own keys.
  static LRESULT CALLBACK FindDialogKeys(int code, WPARAM wparam, LPARAM lparam);
  void CreateList();
  // Runs a command of the context menu or of its keys, showing its failure in the error
  // report under the command's name.
  void RunCommand(int command);
  // The context menu at a point of the screen; from the keyboard (-1, -1), at the focused row.
  void ShowContextMenu(POINT at);
  void OpenFindDialog();
  void OnFindMessage(const FINDREPLACEW& find);
  // Selects the next (or previous) row that matches the Find dialog's text; says so when none does.
  void FindNext(bool down);
  void PromptForFilter();
  void SetFollowing(bool on);
  void AppendRows(const std::vector<viewer::ReportEntry>& entries);
  void SelectOnly(size_t position);
  void UpdateCaption();
  int FocusedPosition() const;
  // Tells the control the row count and repaints; keeps the selection on the rows in
  // `selected` (by row identity), or clears it.
  void ShowRows(const std::vector<uint32_t>& selected, int focused_row);
  std::vector<size_t> SelectedPositions() const;
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

  // The Find dialog's state lives as long as the window: the dialog keeps pointers to it.
  FINDREPLACEW find_{};
  wchar_t find_text_[256] = {};
  HWND find_dialog_ = nullptr;
  HHOOK find_keys_ = nullptr;

  ReportFileWatch watch_;
  bool following_ = false;
};

}  // namespace windows
