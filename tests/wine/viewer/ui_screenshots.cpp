// Pictures of the three windows for the documentation, taken from the screen with
// their frames and title bars (run it inside a Wine virtual desktop, where Wine draws
// the frames itself):
//   wine explorer /desktop=velk,1024x768 ui_screenshots.exe <output folder>
// Writes report-viewer.png, options-dialog.png and live-message-window.png, using
// sample messages recorded through the registered companion components. The settings
// tree Kestrelon is replaced while it runs and removed at the end.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "component/debug_message.h"
#include "component/lifecycle.h"
#include "component/win32/platform_win32.h"
#include "png_file.h"
#include "settings/catalog.h"
#include "settings/win32/options_dialog.h"
#include "ui_driver.h"
#include "viewer/win32/report_viewer_window.h"

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

void Repaint(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
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
                                cat::kDebuggerShell, cat::kDebuggerAEnabled})
      store.WriteSetting(cat::kSettingsApp, cat::kSectionDebuggerA, key, u"1");
    component::ModuleState state;
    try {
      component::Debugger debugger(state, platform.platform);
      struct Sample {
        const char16_t *type, *name, *message, *extra;
        bool application;
      };
      const Sample samples[] = {
          {u"dll", u"modStore", u"OpenStore", u"", false},
          {u"exe", u"frmMain", u"Form_Load", u"startup", true},
          {u"dll", u"clsCustomer", u"LoadCustomer", u"id 4711", true},
          {u"dll", u"clsCustomer", u"SaveCustomer", u"", true},
          {u"exe", u"modPrint", u"PrintInvoice", u"2 pages", true},
          {u"dll", u"modStore", u"CloseStore", u"", false},
      };
      for (const Sample& s : samples) {
        debugger.SetAppObj(s.application ? std::make_shared<SampleApplication>() : nullptr);
        Value extra(Text(s.extra)), co_extra;
        component::DebugMessage m{s.message, s.type, s.name, 1, &extra, &co_extra};
        debugger.AddDebugMessage(m);
      }

      // The report viewer, modeless.
      state.debugger_window = 1;
      debugger.CreateDebugInfoWindow();
      HWND viewer = ui::WaitForWindow(viewer::kReportViewerCaption);
      SetWindowPos(viewer, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
      Pump(300);
      Repaint(viewer);
      Pump(300);
      written += Capture(viewer, out + L"\\report-viewer.png");
      SendMessageW(viewer, WM_CLOSE, 0, 0);
      Pump(200);

      // The options dialog, modal here while another thread takes its picture.
      std::atomic<bool> done{false};
      std::thread photographer([&] {
        HWND dialog = ui::WaitForWindow(settings::kOptionsDialogCaption);
        Sleep(500);
        if (dialog) {
          Repaint(dialog);
          Sleep(300);
          written += Capture(dialog, out + L"\\options-dialog.png");
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
      HWND live = FindWindowW(L"frmDebugWindowA", nullptr);
      Repaint(live);
      Pump(300);
      written += Capture(live, out + L"\\live-message-window.png");
    } catch (const common::AutomationError& error) {
      std::fwprintf(stderr, L"failed: %d %ls\n", error.number(),
                    reinterpret_cast<const wchar_t*>(error.description().c_str()));
    }
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
  std::filesystem::remove_all(folder);
  CoUninitialize();
  return written == 3 ? 0 : 1;
}
