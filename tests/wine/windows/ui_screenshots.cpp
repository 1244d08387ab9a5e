// Pictures of the three windows for the documentation, taken from the screen with
// their frames and title bars (run it inside a Wine virtual desktop, where Wine draws
// the frames itself):
//   wine explorer /desktop=velk,1024x768 ui_screenshots.exe <output folder>
// Writes report-viewer.png (and report-viewer-find.png, -filter.png and -follow.png, the
// viewer's Find dialog, a filter and the context menu while following), options-dialog.png,
// live-message-window.png, and velkview-dropped-file.png and velkview-registry-log.png (the
// viewer program with a customer's report file dropped onto it, and on the registry log),
// using
// sample messages recorded through the registered companion components. Each picture
// is read back and must show its window: the window's size, a drawn title bar, and
// text where the window shows text; one that does not is kept as <name>-rejected.png.
// The settings tree Kestrelon is replaced while it runs and removed at the end.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "component/debug_message.h"
#include "component/debugger_commands.h"
#include "component/win32/platform_win32.h"
#include "png_file.h"
#include "settings/catalog.h"
#include "windows/options_dialog.h"
#include "ui_driver.h"
#include "velkview/viewer_program.h"
#include "windows/report_viewer_window.h"

namespace {

using common::Text;
using outside::Value;
namespace cat = settings::catalog;
using ui::Pump;

const wchar_t kKestrelon[] = L"Software\\VB and VBA Program Settings\\Kestrelon";

// A client's application object with the four properties the identity reads.
class SampleApplication : public outside::AutomationObject {
 public:
  Value Invoke(common::TextView name, outside::CallKind, std::span<Value>) override {
    if (name == u"ProductName") return Value(Text(u"Ledger"));
    if (name == u"Title") return Value(Text(u"Ledger Desk"));
    if (name == u"Major") return Value(3.0);
    if (name == u"Minor") return Value(2.0);
    throw common::AutomationError(438, u"Object doesn't support this property or method");
  }
};

// The window as the screen shows it, frame included.
bool Capture(HWND window, const std::wstring& path) {
  RECT r;
  if (!window || !GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BOOL copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const auto* bgra = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    rgb[i * 3] = bgra[i * 4 + 2];
    rgb[i * 3 + 1] = bgra[i * 4 + 1];
    rgb[i * 3 + 2] = bgra[i * 4];
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  bool written = copied && png::WriteFile(path, width, height, rgb);
  std::fwprintf(stderr, L"%ls: %dx%d %ls\n", path.c_str(), width, height, written ? L"written" : L"FAILED");
  return written;
}

// What the checks found, in <output folder>\checks.txt (the tool's own output does not
// reach whoever started the virtual desktop).
std::wstring notes_path;
void Note(const std::string& line) {
  if (FILE* file = _wfopen(notes_path.c_str(), L"ab")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

// A part of a picture, in the window's coordinates, and what it must hold.
struct Area {
  const char* what;
  RECT rect;
  COLORREF text;  // the colour its text is drawn in; CLR_NONE: anything drawn on its background
  size_t at_least;  // pixels of that colour, or not of the background
};

RECT InWindow(HWND window, HWND part, bool client_only = false) {
  RECT frame, r;
  GetWindowRect(window, &frame);
  if (client_only) {
    GetClientRect(part, &r);
    MapWindowPoints(part, nullptr, reinterpret_cast<POINT*>(&r), 2);
  } else {
    GetWindowRect(part, &r);
  }
  OffsetRect(&r, -frame.left, -frame.top);
  return r;
}

// The title bar: between the window's outer border and its client area.
Area TitleBar(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  POINT client{0, 0};
  ClientToScreen(window, &client);
  const LONG border = client.x - frame.left;
  return {"title bar", {border, border, frame.right - frame.left - border, client.y - frame.top}, CLR_NONE, 100};
}

// Reads the picture back and checks it against its window; an empty text when it passes.
std::string Misses(const std::wstring& path, HWND window, const std::vector<Area>& areas) {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
  if (!png::ReadFile(path, width, height, rgb)) return "the file does not read back";
  RECT frame;
  GetWindowRect(window, &frame);
  if (width != static_cast<uint32_t>(frame.right - frame.left) || height != static_cast<uint32_t>(frame.bottom - frame.top))
    return "its size is not the window's";
  std::string misses;
  for (const Area& area : areas) {
    RECT r = area.rect;
    r.left = std::max<LONG>(r.left, 0), r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, width), r.bottom = std::min<LONG>(r.bottom, height);
    // Counted by row: a row's commonest colour is its background there.
    std::map<COLORREF, size_t> colours;
    std::vector<std::map<COLORREF, size_t>> rows;
    for (LONG y = r.top; y < r.bottom; ++y) {
      auto& row = rows.emplace_back();
      for (LONG x = r.left; x < r.right; ++x) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        ++row[RGB(p[0], p[1], p[2])];
        ++colours[RGB(p[0], p[1], p[2])];
      }
    }
    auto commonest = [](const std::map<COLORREF, size_t>& counts) {
      auto most = std::max_element(counts.begin(), counts.end(),
                                   [](const auto& a, const auto& b) { return a.second < b.second; });
      return most == counts.end() ? CLR_NONE : most->first;
    };
    size_t found = 0;
    if (area.text != CLR_NONE) {
      found = colours.count(area.text) ? colours[area.text] : 0;
    } else {  // in the rows on the area's background, what is drawn on it
      const COLORREF background = commonest(colours);
      for (const auto& row : rows)
        if (commonest(row) == background)
          for (auto [colour, count] : row) found += colour == background ? 0 : count;
    }
    Note(std::string(area.what) + ": " + std::to_string(found) + " pixels (at least " + std::to_string(area.at_least) +
         ")");
    if (found < area.at_least) misses += std::string(misses.empty() ? "" : ", ") + "no " + area.what;
  }
  return misses;
}

// Writes the picture, and keeps it as <name>-rejected.png when it misses something.
bool CaptureAndCheck(HWND window, const std::wstring& out, const wchar_t* name, std::vector<Area> areas) {
  const std::wstring path = out + L"\\" + name + L".png";
  notes_path = out + L"\\checks.txt";
  Note(std::string(name, name + wcslen(name)) + ".png");
  if (!Capture(window, path)) return false;
  areas.insert(areas.begin(), TitleBar(window));
  std::string misses = Misses(path, window, areas);
  if (misses.empty()) return true;
  Note("rejected: " + misses);
  MoveFileExW(path.c_str(), (out + L"\\" + name + L"-rejected.png").c_str(), MOVEFILE_REPLACE_EXISTING);
  return false;
}

void Repaint(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// What a viewer's picture must show: its column headers and rows.
std::vector<Area> TableOf(HWND viewer) {
  HWND list = FindWindowExW(viewer, nullptr, WC_LISTVIEWW, nullptr);
  HWND header = list ? ListView_GetHeader(list) : nullptr;
  RECT rows = list ? InWindow(viewer, list, true) : RECT{};
  if (header) rows.top = InWindow(viewer, header).bottom;
  return {{"column headers", header ? InWindow(viewer, header) : RECT{}, GetSysColor(COLOR_BTNTEXT), 150},
          {"rows", rows, GetSysColor(COLOR_WINDOWTEXT), 150}};
}

// Drops `file` onto `window` as the shell does.
void Drop(HWND window, const std::wstring& file) {
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (file.size() + 2) * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(file.begin(), file.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(memory);
  SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: ui_screenshots <output folder>\n");
    return 2;
  }
  const std::wstring out = argv[1];
  CoInitialize(nullptr);
  RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"velk-screenshots";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  SetEnvironmentVariableW(L"QVSUPPORT", folder.c_str());

  int written = 0;
  {
    component::Win32Platform platform;
    auto& store = platform.settings;
    for (const char16_t* key : {cat::kDebuggerAEnabledLevel, cat::kDebuggerAEnabledDLL, cat::kDebuggerAEnabledEXE,
                                cat::kDebuggerShell, cat::kDebuggerAEnabled, cat::kDebuggerRegistry})
      store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, u"1");
    component::ModuleState state;
    try {
      component::Debugger debugger(state, platform.platform);
      struct Sample {
        const char16_t *type, *name, *message, *extra, *co_extra;
        bool application;
      };
      const Sample samples[] = {
          {u"dll", u"modStore", u"OpenStore", u"", u"", false},
          {u"exe", u"frmMain", u"Form_Load", u"startup", u"", true},
          {u"dll", u"clsCustomer", u"LoadCustomer", u"id 4711", u"cache hit", true},
          {u"dll", u"clsCustomer", u"SaveCustomer", u"", u"", true},
          {u"exe", u"modPrint", u"PrintInvoice", u"2 pages", u"printer LPT1", true},
          {u"dll", u"modStore", u"CloseStore", u"", u"", false},
      };
      auto record = [&](const Sample& s) {
        debugger.SetAppObj(s.application ? std::make_shared<SampleApplication>() : nullptr);
        Value extra(Text(s.extra)), co_extra(Text(s.co_extra));
        component::DebugMessage m{s.message, s.type, s.name, 1, &extra, &co_extra};
        debugger.AddDebugMessage(m);
      };
      for (const Sample& s : samples) record(s);

      // The report viewer, modeless.
      state.debugger_window = 1;
      debugger.CreateDebugInfoWindow();
      HWND viewer = ui::WaitForWindow(windows::kReportViewerCaption);
      SetWindowPos(viewer, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
      Pump(300);
      Repaint(viewer);
      Pump(300);
      HWND list = FindWindowExW(viewer, nullptr, WC_LISTVIEWW, nullptr);
      HWND header = list ? ListView_GetHeader(list) : nullptr;
      RECT rows = list ? InWindow(viewer, list, true) : RECT{};
      if (header) rows.top = InWindow(viewer, header).bottom;
      const std::vector<Area> table = {
          {"column headers", header ? InWindow(viewer, header) : RECT{}, GetSysColor(COLOR_BTNTEXT), 150},
          {"rows", rows, GetSysColor(COLOR_WINDOWTEXT), 150}};
      written += CaptureAndCheck(viewer, out, L"report-viewer", table);
      auto& window = dynamic_cast<windows::ReportViewerWindow&>(*state.report_viewer);

      // Find: the dialog over the viewer, the found row selected.
      ui::PressKey(list, 'F', {VK_CONTROL});
      if (HWND find = window.find_dialog()) {
        RECT frame, dialog;
        GetWindowRect(viewer, &frame);
        GetWindowRect(find, &dialog);
        SetWindowPos(find, HWND_TOP, frame.right - (dialog.right - dialog.left) - 30,
                     frame.bottom - (dialog.bottom - dialog.top) - 30, 0, 0, SWP_NOSIZE);
        SetDlgItemTextW(find, 0x480, L"SaveCustomer");
        SendMessageW(find, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(find, IDOK)));
        Pump(300);
        Repaint(viewer);
        Repaint(find);
        Pump(300);
        written += CaptureAndCheck(viewer, out, L"report-viewer-find", table);
        SendMessageW(find, WM_CLOSE, 0, 0);
      }

      // A filter: the caption says which and how many rows it shows.
      window.ApplyFilter(u"clsCustomer");
      Pump(200);
      Repaint(viewer);
      Pump(300);
      written += CaptureAndCheck(viewer, out, L"report-viewer-filter", table);
      window.ApplyFilter(u"");

      // Following: new messages arrive while the context menu shows Follow checked.
      SendMessageW(viewer, WM_COMMAND, windows::kCommandFollow, 0);
      state.debugger_window = 0;  // the live message window would cover the viewer
      for (const char16_t* message : {u"PrintInvoice", u"CloseStore"}) {
        Value extra(Text(u"followed")), co_extra;
        component::DebugMessage m{message, u"dll", u"modPrint", 1, &extra, &co_extra};
        debugger.AddDebugMessage(m);
      }
      for (int waited = 0; waited < 3000 && window.rows().size() < 8; waited += 100) Pump(100);
      LVITEMW newest{};
      newest.stateMask = newest.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(list, LVM_SETITEMSTATE, 7, reinterpret_cast<LPARAM>(&newest));
      std::thread menu_photographer([&] {
        HWND popup = nullptr;
        for (int waited = 0; !popup && waited < 5000; waited += 50, Sleep(50)) popup = wine_test::FindOwnWindow(L"#32768", nullptr);
        Sleep(300);
        written += CaptureAndCheck(viewer, out, L"report-viewer-follow", table);
        if (popup) PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1);
      });
      ui::PressKey(list, VK_APPS);
      menu_photographer.join();
      SendMessageW(viewer, WM_CLOSE, 0, 0);
      Pump(200);

      // The options dialog, modal here while another thread takes its picture.
      std::atomic<bool> done{false};
      std::thread photographer([&] {
        HWND dialog = ui::WaitForWindow(windows::kOptionsDialogCaption);
        Sleep(500);
        if (dialog) {
          Repaint(dialog);
          Sleep(300);
          written += CaptureAndCheck(dialog, out, L"options-dialog",
                                     {{"labels", InWindow(dialog, dialog, true), GetSysColor(COLOR_BTNTEXT), 400}});
        }
        while (!done) {
          if (dialog) PostMessageW(dialog, WM_CLOSE, 0, 0);
          Sleep(100);
        }
      });
      try {
        debugger.ShowDebuggerOptions();
      } catch (...) {
      }
      done = true;
      photographer.join();

      // The live message window at the screen's corner with the latest line.
      state.debugger_window = 1;
      state.debugger_shell = 0;
      debugger.SetAppObj(std::make_shared<SampleApplication>());
      Value extra(Text(u"id 4711")), co_extra;
      component::DebugMessage m{u"LoadCustomer", u"dll", u"clsCustomer", 1, &extra, &co_extra};
      debugger.AddDebugMessage(m);
      Pump(300);
      HWND live = wine_test::FindOwnWindow(L"frmDebugWindowA", nullptr);
      Repaint(live);
      Pump(300);
      HWND text_box = live ? GetWindow(live, GW_CHILD) : nullptr;
      written += CaptureAndCheck(live, out, L"live-message-window",
                                 {{"line", text_box ? InWindow(live, text_box, true) : RECT{},
                                   GetSysColor(COLOR_WINDOWTEXT), 150}});

      SendMessageW(live, WM_CLOSE, 0, 0);

      // A customer's report file, as it comes by mail, for the viewer program.
      const Text report_path = state.report_file_path;
      state.report_file_path = Text(folder.begin(), folder.end()) + u"\\velkbug-customer.ini";
      state.debugger_registry = state.debugger_window = 0;
      state.debugger_shell = 1;
      const Sample customer[] = {
          {u"dll", u"modStore", u"OpenStore", u"", u"", false},
          {u"dll", u"clsCustomer", u"LoadCustomer", u"id 1042", u"", true},
          {u"dll", u"clsCustomer", u"LoadCustomer", u"id 1043", u"", true},
          {u"exe", u"frmInvoice", u"SaveInvoice", u"invoice 17", u"", true},
          {u"dll", u"clsCustomer", u"SaveCustomer", u"id 1043", u"", true},
          {u"dll", u"modStore", u"CloseStore", u"", u"", false},
      };
      for (const Sample& s : customer) record(s);
      const std::wstring customer_path(state.report_file_path.begin(), state.report_file_path.end());
      state.report_file_path = report_path;

      // The viewer program: a customer's report file dropped onto it, filtered to one module.
      velkview::ViewerProgram program;
      program.Start({});  // %QVSUPPORT%\velkbug.ini
      HWND program_window = program.window().window();
      SetWindowPos(program_window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
      Drop(program_window, customer_path);
      program.window().ApplyFilter(u"clsCustomer");
      Pump(300);
      Repaint(program_window);
      Pump(300);
      written += CaptureAndCheck(program_window, out, L"velkview-dropped-file", TableOf(program_window));

      // The registry log, its columns fitted to their texts (as a double click on each
      // heading's edge fits them) to show the co-extra column too.
      program.window().ApplyFilter(u"");
      program.OpenRegistryLog();
      SetWindowPos(program_window, HWND_TOP, 10, 40, 1000, 420, 0);
      for (int column = 0; column < viewer::kRegistryLogColumnCount; ++column)
        SendMessageW(program.window().list_view(), LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE_USEHEADER);
      Pump(300);
      Repaint(program_window);
      Pump(300);
      written += CaptureAndCheck(program_window, out, L"velkview-registry-log", TableOf(program_window));
      SendMessageW(program_window, WM_CLOSE, 0, 0);
    } catch (const common::AutomationError& error) {
      std::fwprintf(stderr, L"failed: %d %ls\n", error.number(),
                    reinterpret_cast<const wchar_t*>(error.description().c_str()));
    }
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
  std::filesystem::remove_all(folder);
  CoUninitialize();
  return written == 8 ? 0 : 1;
}
