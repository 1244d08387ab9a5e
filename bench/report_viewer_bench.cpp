// Speed of the report viewer on a large report file: the window's load (which reads
// every entry through tolvex10.dll's automation surface), F5, a header click, and F5
// while sorted; goal: each within 3 seconds for 100k entries under Wine. Then a filter
// over every row (goal 1 s) and a follow step that adds 100 entries written to the file
// (goal 50 ms), both with the rows sorted. Also shown, without a goal: the reading alone,
// the first paint, moving through the list, Save As to CSV, and the process's memory after
// each step (its working set, and the largest it has been; goal: under 300 MB at 1M
// entries, load, sort, filter and follow included), and the rows' own bytes (goal: under
// 150 MB at 1M entries).
//
//   report_viewer_bench.exe [entries] [work folder]   (default 100000; tolvex10.dll registered)
//
// With VELK_BENCH_HANDLER=0 it leaves out the reading through the INI file handler at the
// end, whose own peak would hide the viewer's from whoever measures the process from
// outside. Prints one line per step and exits with 1 when a step misses the goal.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "component/debugger_commands.h"
#include "component/win32/platform_win32.h"
#include "outside/helper_components.h"
#include "viewer/report_list.h"
#include "windows/report_viewer_window.h"
#include "windows/save_rows.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kGoalSeconds = 3.0;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One entry's line as the report-file sink writes it.
std::wstring EntryLine(int i, const wchar_t* module, const wchar_t* message) {
  return std::to_wstring(i) + L"=" + std::to_wstring(i + 1) + L". (dll)  > Ledger > Ledger Desk > 3.2 > " + module +
         L" > Procedure" + std::to_wstring((int64_t{i} * 7919) % 1000) + L" > " + message + L" > 12/8/2026 3:45:10 AM\r\n";
}

void Store(const std::wstring& path, const wchar_t* mode, const std::wstring& text) {
  FILE* file = _wfopen(path.c_str(), mode);
  if (!file) {
    std::fprintf(stderr, "cannot write the report file\n");
    std::exit(2);
  }
  std::fwrite(text.data(), sizeof(wchar_t), text.size(), file);
  std::fclose(file);
}

// The INI engine's change count line (tolvex/ini/ini_file.h), which every change raises.
std::wstring ChangesLine(uint64_t changes) {
  wchar_t line[64];
  swprintf(line, 64, L";changes=%016llu rewrites=0000000000000001\r\n", static_cast<unsigned long long>(changes));
  return line;
}

// A report file as the report-file sink leaves it: UTF-16LE, its change counts first, one
// line per entry. Written in pieces, so that the benchmark's own memory stays out of the
// viewer's figures.
void WriteReport(const std::wstring& path, int entries) {
  std::wstring text = L"\xFEFF" + ChangesLine(1) + L"[DebuggerA]\r\nCounter=" + std::to_wstring(entries) +
                      L"\r\n[DebuggerAReport]\r\n";
  Store(path, L"wb", text);
  const wchar_t* modules[] = {L"modStore", L"clsCustomer", L"frmMain", L"modPrint"};
  for (int first = 0; first < entries; first += 10000) {
    text.clear();
    for (int i = first; i < std::min(entries, first + 10000); ++i) text += EntryLine(i, modules[i % 4], L"extra text of the message");
    Store(path, L"ab", text);
  }
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool Report(const char* step, double seconds, size_t rows, bool goal = true, double goal_seconds = kGoalSeconds) {
  bool met = !goal || seconds <= goal_seconds;
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("%-44s %8.3f s  %8zu rows  %5zu MB (peak %5zu MB)%s\n", step, seconds, rows,
              static_cast<size_t>(memory.WorkingSetSize >> 20), static_cast<size_t>(memory.PeakWorkingSetSize >> 20),
              goal ? (met ? "" : "  MISSED") : "");
  return met;
}

// Adds entries first..first+count-1 at the end of the report file, as the report-file
// sink appends them: each append raises the change count in place (the report section is
// the file's last, so no rewrite).
void AppendReport(const std::wstring& path, int first, int count, uint64_t changes) {
  std::wstring text;
  for (int i = first; i < first + count; ++i) text += EntryLine(i, L"modFollow", L"a followed message");
  Store(path, L"ab", text);
  const std::wstring line = ChangesLine(changes);
  FILE* file = _wfopen(path.c_str(), L"r+b");
  if (!file) std::exit(2);
  std::fseek(file, sizeof(wchar_t), SEEK_SET);  // after the byte order mark
  std::fwrite(line.data(), sizeof(wchar_t), line.size() - 2, file);
  std::fclose(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int entries = argc > 1 ? _wtoi(argv[1]) : 100000;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = argc > 2 ? argv[2] : std::wstring(temp) + L"velk-viewer-bench";
  std::filesystem::create_directories(folder);
  const std::wstring path = folder + L"\\velkbug.ini";
  WriteReport(path, entries);

  CoInitialize(nullptr);
  bool met = true;
  {
    component::Win32Platform platform;
    component::ModuleState state;
    try {
      state.ini_handler = platform.objects.Create(outside::kIniFileHandlerProgId);
    } catch (const common::AutomationError&) {
      std::fprintf(stderr, "cannot create the INI file handler: is tolvex10.dll registered?\n");
      return 2;
    }
    state.report_file_path = common::Text(path.begin(), path.end());
    std::printf("report viewer, %d entries\n", entries);

    auto start = Clock::now();
    component::ReportViewer& instance = component::ReportViewerInstance(state, platform.platform);
    instance.Load();
    auto* window = dynamic_cast<windows::ReportViewerWindow*>(&instance);
    met &= Report("window load (create + reload)", Since(start), window->rows().size());

    start = Clock::now();
    instance.ShowModeless();
    UpdateWindow(window->window());
    Pump();
    Report("show and first paint", Since(start), window->rows().size(), false);

    start = Clock::now();
    SendMessageW(window->list_view(), WM_KEYDOWN, VK_F5, 1);
    met &= Report("F5 reload", Since(start), window->rows().size());

    NMLISTVIEW click{};
    click.hdr.hwndFrom = window->list_view();
    click.hdr.idFrom = windows::kReportListId;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 5;  // "Procedure"
    start = Clock::now();
    SendMessageW(window->window(), WM_NOTIFY, windows::kReportListId, reinterpret_cast<LPARAM>(&click));
    UpdateWindow(window->list_view());
    met &= Report("header click (sort by Procedure)", Since(start), window->rows().size());

    start = Clock::now();
    SendMessageW(window->list_view(), WM_KEYDOWN, VK_F5, 1);
    UpdateWindow(window->list_view());
    met &= Report("F5 reload while sorted", Since(start), window->rows().size());

    start = Clock::now();
    window->ApplyFilter(u"procedure42");  // one row in a hundred
    UpdateWindow(window->list_view());
    met &= Report("filter (1 in 100 rows shown, sorted)", Since(start), window->rows().size(), true, 1.0);
    start = Clock::now();
    window->ApplyFilter(u"");
    met &= Report("filter off", Since(start), window->rows().size(), true, 1.0);

    // Following: 100 entries appended by another writer, sorted into the list.
    SendMessageW(window->window(), WM_COMMAND, windows::kCommandFollow, 0);
    for (int round = 0; round < 3; ++round) {
      const size_t before = window->rows().size();
      AppendReport(path, entries + 100 * round, 100, 2 + round);
      Sleep(300);  // for the folder's change notification
      start = Clock::now();
      window->FollowStep();
      UpdateWindow(window->list_view());
      const double seconds = Since(start);
      const bool all_there = window->rows().size() == before + 100;
      if (!all_there) std::printf("follow step added %zu rows, not 100\n", window->rows().size() - before);
      met &= all_there && Report("follow step: 100 entries added (sorted)", seconds, window->rows().size(), true, 0.05);
    }

    start = Clock::now();
    for (int i = 0; i < 50; ++i) {
      SendMessageW(window->list_view(), WM_KEYDOWN, VK_NEXT, 1);  // page down: rows painted on demand
      UpdateWindow(window->list_view());
    }
    Report("50 pages down", Since(start), window->rows().size(), false);

    start = Clock::now();
    for (int i = 0; i < 50; ++i) {
      SendMessageW(window->list_view(), WM_KEYDOWN, VK_DOWN, 1);  // one row down: the selection follows
      UpdateWindow(window->list_view());
    }
    Report("50 rows down", Since(start), window->rows().size(), false);

    start = Clock::now();
    const std::wstring csv = folder + L"\\rows.csv";
    windows::WriteFileWhole(csv, [&](const windows::ByteWriter& write) {
      viewer::ExportRows(window->rows(), viewer::ExportFormat::kCsv, write);
    });
    Report("Save As CSV (every row)", Since(start), window->rows().size(), false);
    std::filesystem::remove(csv);
    std::printf("rows held: %.1f MB\n", window->rows().MemoryBytes() / 1e6);

    SendMessageW(window->window(), WM_CLOSE, 0, 0);
    Pump();

    // For comparison, last (the peak it leaves is its own): the same rows read through
    // the INI file handler's automation surface, two calls an entry.
    const wchar_t* handler = _wgetenv(L"VELK_BENCH_HANDLER");
    if (!handler || std::wstring(handler) != L"0") {
      viewer::ReportList rows;
      start = Clock::now();
      viewer::LoadDebugInfoInwindow(rows, {state.ini_handler, state.report_file_path, platform.format});
      Report("reading through the INI file handler", Since(start), rows.size(), false);
    }
  }
  CoUninitialize();
  std::filesystem::remove(path);
  std::printf(met ? "goal met\n" : "goal missed\n");
  return met ? 0 : 1;
}
