#pragma once
// frmVELKDebuggerA: a sizable window whose list lvDebugInfo (a report-view list
// filling the client area) shows the entries of the report file in nine columns, or the
// registry log in ten. The list is virtual: the rows live in a ReportList and the control
// asks for the texts it paints, so a reload of many entries costs the control nothing
// per row. What it lists comes from a ViewerSource (windows/viewer_sources.h): the
// component's report file, or what the viewer program opened.
//
// Keys in the list: F5 (with any Shift, Ctrl or Alt) reloads; Ctrl+C copies the
// selected rows as tab-separated text; Ctrl+A selects every row; Ctrl+F opens the Find
// dialog, F3 and Shift+F3 find the next and the previous match; Ctrl+L filters the rows;
// Ctrl+S saves the rows shown (Save As); in the viewer program Ctrl+O opens a file; the
// Menu key, Shift+F10 and a right click open the context menu, which holds every
// command. A header click sorts by that column.
//
// Follow (off when the window loads): while on, entries added to the report file show up
// without a reload, in the sort order and through the filter; a replaced or deleted file
// is read again whole.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "component/platform.h"
#include "viewer/report_list.h"
#include "windows/find_controller.h"
#include "windows/form_support.h"
#include "windows/report_file_watch.h"
#include "windows/viewer_sources.h"

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
  kCommandSaveAs,
  kCommandOpen,         // the viewer program's
  kCommandRegistryLog,  // the viewer program's
};
// How often a following viewer looks at its folder's change notification.
inline constexpr UINT kFollowIntervalMs = 200;

// Text order under the user's locale, letter case ignored: the order of the list
// control's own text sorting.
class LocaleCollation : public viewer::TextCollation {
 public:
  std::string SortKey(TextView text) const override;
};

// What a program around the viewer adds: Open and Registry Log in the context menu (and
// Ctrl+O), and files dropped onto the window. The component's viewer has none.
class ViewerHost {
 public:
  virtual ~ViewerHost() = default;
  virtual void Open() = 0;
  virtual void OpenRegistryLog() = 0;
  virtual void Dropped(const std::vector<std::wstring>& files) = 0;
};

// The object stays while the module state holds it; each load makes a new window with new
// rows, and the window's unload drops them again.
class ReportViewerWindow : public component::ReportViewer, private Form {
 public:
  // The component's viewer, on the module state's report file.
  ReportViewerWindow(const component::ReportSource& source, component::MessageBoxes& boxes)
      : ReportViewerWindow(std::make_unique<ComponentReportSource>(source), boxes, nullptr) {}
  // A viewer of `source`, within the program `host` when there is one.
  ReportViewerWindow(std::unique_ptr<ViewerSource> source, component::MessageBoxes& boxes, ViewerHost* host);
  ~ReportViewerWindow() override;
  ReportViewerWindow(const ReportViewerWindow&) = delete;
  ReportViewerWindow& operator=(const ReportViewerWindow&) = delete;

  void Load() override;
  bool IsLoaded() const override { return window_ != nullptr; }
  bool IsVisible() const override;
  void ShowModeless() override;
  void ShowModal() override;
  void ClearList() override;

  // Rebuilds the list from the source; a failure is raised after the list shows the rows
  // read before it.
  void LoadDebugInfoInwindow();
  // The viewer program's start: makes the window and shows it, then reads the source; a
  // failure shows in the error report under `command` and leaves the window open.
  void ShowAndLoad(const char16_t* command);
  // Lists `source` in place of what the window shows: its check first (a failure is
  // raised and nothing changes), then its rows, in its columns, with the filter and the
  // sort kept. Follow stays on for a file and goes off for the registry log.
  void ShowSource(std::unique_ptr<ViewerSource> source);
  const ViewerSource& source() const { return *source_; }

  HWND window() const { return window_; }
  HWND list_view() const { return list_view_; }
  HWND find_dialog() const { return find_.dialog(); }
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
  void Create();
  void SetColumns();
  // Runs a command of the context menu or of its keys, showing its failure in the error
  // report under the command's name.
  void RunCommand(int command);
  // The context menu at a point of the screen; from the keyboard (-1, -1), at the focused row.
  void ShowContextMenu(POINT at);
  // Find: selects the next row with `what` from the focused one; its place on the screen.
  std::optional<RECT> FindRow(TextView what, const viewer::FindOptions& options);
  void PromptForFilter();
  void SetFollowing(bool on);
  void AppendRows(const std::vector<viewer::ReportEntry>& entries);
  // New rows: the control told their count, nothing selected, back at the top.
  void ShowRows();
  void UpdateCaption();
  void SortBy(int column);
  void CopySelection();
  void SaveAs();
  void Dropped(HDROP drop);

  std::unique_ptr<ViewerSource> source_;
  component::MessageBoxes& boxes_;
  ViewerHost* host_;
  LocaleCollation collation_;
  viewer::ReportList rows_;
  HWND window_ = nullptr;
  HWND list_view_ = nullptr;
  FindController find_;
  ReportFileWatch watch_;
  bool following_ = false;
};

}  // namespace windows
