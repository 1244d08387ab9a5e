#include "windows/options_dialog.h"

#include <commctrl.h>

#include <cwchar>

#include "common/automation_error.h"
#include "component/error_report.h"
#include "winkit/module.h"
#include "winkit/wide_text.h"

namespace windows {

// Name, kind, caption, left, top, width, height (twips), in tab order.
const std::array<OptionsControlLayout, 16> kOptionsLayout = {{
    {kIdChkDebugger, L"chkDebugger", L"BUTTON", L"DebuggerAEnabled", 360, 240, 2415, 255},
    {kIdCmdOK, L"cmdOK", L"BUTTON", L"&OK", 2400, 3600, 1455, 495},
    {kIdCmdCancel, L"cmdCancel", L"BUTTON", L"&Cancel", 3960, 3600, 1455, 495},
    {kIdCmdViewDebugger, L"cmdViewDebugger", L"BUTTON", L"View Debugger", 3840, 720, 1695, 495},
    {kIdChkDebuggerAEnabledDLL, L"chkDebuggerAEnabledDLL", L"BUTTON", L"DebuggerAEnabledDLL", 360, 600, 2415, 255},
    {kIdChkDebuggerAEnabledEXE, L"chkDebuggerAEnabledEXE", L"BUTTON", L"DebuggerAEnabledEXE", 360, 960, 2415, 255},
    {kIdChkDebuggerAEnabledOCX, L"chkDebuggerAEnabledOCX", L"BUTTON", L"DebuggerAEnabledOCX", 360, 1320, 2415, 255},
    {kIdLblLevel, L"lblLevel", L"STATIC", L"Level", 3000, 240, 735, 255},
    {kIdCmbLevel, L"cmbLevel", L"COMBOBOX", L"", 3840, 240, 1095, 315},
    {kIdChkDebuggerRegistry, L"chkDebuggerRegistry", L"BUTTON", L"DebuggerRegistry", 360, 1800, 2415, 255},
    {kIdChkDebuggerShell, L"chkDebuggerShell", L"BUTTON", L"DebuggerShell", 360, 2160, 2415, 255},
    {kIdChkDebuggerWindow, L"chkDebuggerWindow", L"BUTTON", L"DebuggerWindow", 360, 2520, 2415, 255},
    {kIdCmdViewFile, L"cmdViewFile", L"BUTTON", L"View File", 3840, 1320, 1695, 495},
    {kIdCmdClearFile, L"cmdClearFile", L"BUTTON", L"Clear File", 3840, 1920, 1695, 495},
    {kIdChkCleanMachineEnvVar, L"chkCleanMachineEnvVar", L"BUTTON", L"CleanMachineEnvVar", 360, 3480, 1935, 255},
    {kIdLabel1, L"Label1", L"STATIC", L"Marivale", 120, 3120, 975, 255},
}};

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kLevelListRows = 6;  // room of the dropped-down level list, in item heights

using winkit::Wide;

DWORD StyleOf(const OptionsControlLayout& control) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_GROUP;
  const std::wstring_view name = control.name;
  if (name.starts_with(L"chk")) return style | WS_TABSTOP | BS_AUTOCHECKBOX;
  if (name.starts_with(L"cmd")) return style | WS_TABSTOP | BS_PUSHBUTTON;
  if (name.starts_with(L"cmb")) return style | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  return style | SS_LEFT;  // labels
}

int IdOf(Option option) {
  switch (option) {
    case Option::kEnabled: return kIdChkDebugger;
    case Option::kEnabledDLL: return kIdChkDebuggerAEnabledDLL;
    case Option::kEnabledEXE: return kIdChkDebuggerAEnabledEXE;
    case Option::kEnabledOCX: return kIdChkDebuggerAEnabledOCX;
    case Option::kRegistry: return kIdChkDebuggerRegistry;
    case Option::kWindow: return kIdChkDebuggerWindow;
    case Option::kShell: return kIdChkDebuggerShell;
    case Option::kCleanMachineEnvVar: return kIdChkCleanMachineEnvVar;
    case Option::kLevel: break;
  }
  throw common::AutomationError(common::error_number::kInvalidArgument, u"The level has no check box");
}

// The text of a list's item; empty when there is no such item.
Text ItemText(HWND list, LRESULT index) {
  LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, index, 0);
  if (length <= 0) return Text();
  Text text(static_cast<size_t>(length) + 1, u'\0');
  SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(Wide(text)));
  text.resize(static_cast<size_t>(length));
  return text;
}

bool IsPushButton(HWND control) {
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  return _wcsicmp(name, L"Button") == 0 && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
}

}  // namespace

OptionsDialogWin32::~OptionsDialogWin32() {
  DestroyUnheard(window_);
  RemoveKeyPreview(this);
}

void OptionsDialogWin32::Load() {
  INITCOMMONCONTROLSEX common_controls{sizeof common_controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common_controls);
  if (!RegisterFormClass(kOptionsDialogClass, true)) RaiseLastWindowError(u"Cannot register the options dialog");

  RECT frame{0, 0, TwipsToPixelsX(kOptionsWidthTwips), TwipsToPixelsY(kOptionsHeightTwips)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + std::max(0L, (work.right - work.left - width) / 2);
  const int top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
  HWND window = CreateFormWindow(kExStyle, kOptionsDialogClass, kOptionsDialogCaption, kStyle, left, top, width, height);
  if (!window) RaiseLastWindowError(u"Cannot create the options dialog");
  window_ = window;
  try {
    for (const OptionsControlLayout& c : kOptionsLayout) {
      const int x = TwipsToPixelsX(c.left), y = TwipsToPixelsY(c.top);
      const int w = TwipsToPixelsX(c.width), h = TwipsToPixelsY(c.height);
      const bool combo = std::wstring_view(c.window_class) == L"COMBOBOX";
      HWND control = CreateWindowExW(0, c.window_class, c.caption, StyleOf(c), x, y, w,
                                     combo ? h * kLevelListRows : h, window, reinterpret_cast<HMENU>(
                                         static_cast<INT_PTR>(c.id)), winkit::ThisModule(), nullptr);
      if (!control) RaiseLastWindowError(u"Cannot create a control of the options dialog");
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont(c.id == kIdLabel1)), FALSE);
      if (combo) {
        // The closed list takes its given height: the selection field grows or shrinks to
        // it. Measured again after each step, since list controls differ in what the
        // field height they report includes.
        for (int step = 0; step < 3; ++step) {
          RECT shown;
          GetWindowRect(control, &shown);
          const LONG off = h - (shown.bottom - shown.top);
          if (off == 0) break;
          LRESULT field = SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
          if (field <= 0 || field + off <= 0) break;
          SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + off);
        }
      }
    }
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                               winkit::ThisModule(), nullptr);
    if (tooltip_) {
      tip_.clear();
      TTTOOLINFOW tool{};
      tool.cbSize = TTTOOLINFOW_V2_SIZE;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = window;
      tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdCmdViewFile));
      tool.lpszText = const_cast<wchar_t*>(L"");
      SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
      SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, TwipsToPixelsX(9000));
    }
    logic_ = std::make_unique<settings::OptionsDialogLogic>(store_, *services_);
    logic_->Load(*this);
  } catch (...) {
    DestroyWindow(window);
    logic_.reset();
    throw;
  }
}

void OptionsDialogWin32::ShowModal() {
  Load();
  HWND window = window_;
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  SetFocus(Control(kIdChkDebugger));
  AddKeyPreview(this);
  RunModalLoop(window);
  RemoveKeyPreview(this);
  if (window_) DestroyWindow(window_);  // hidden: unloaded as well
  logic_.reset();
}

void OptionsDialogWin32::Close() {
  if (window_) DestroyWindow(window_);
}

HWND OptionsDialogWin32::CheckBoxOf(Option option) const { return Control(IdOf(option)); }

bool OptionsDialogWin32::IsChecked(Option option) const {
  return SendMessageW(CheckBoxOf(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void OptionsDialogWin32::SetChecked(Option option, bool checked) {
  HWND box = CheckBoxOf(option);
  if (!box) throw common::AutomationError(common::error_number::kObjectRequired, u"Object required");
  SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void OptionsDialogWin32::FillLevelList(const std::array<const char16_t*, 2>& items) {
  HWND list = Control(kIdCmbLevel);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (const char16_t* item : items)
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(common::TextView(item))));
}

Text OptionsDialogWin32::LevelText() const {
  HWND list = Control(kIdCmbLevel);
  LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
  return selected == CB_ERR ? Text() : ItemText(list, selected);
}

bool OptionsDialogWin32::SetLevelText(TextView text) {
  HWND list = Control(kIdCmbLevel);
  LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i)  // exact text, not the list's prefix match
    if (ItemText(list, i) == text) return SendMessageW(list, CB_SETCURSEL, i, 0) == i;
  return false;
}

void OptionsDialogWin32::SetViewFileTip(TextView tip) {
  tip_ = Text(tip);
  if (!tooltip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdCmdViewFile));
  tool.lpszText = const_cast<wchar_t*>(Wide(tip_));
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void OptionsDialogWin32::Command(int id) {
  if (!logic_) return;
  switch (id) {
    case kIdCmdOK:
      // The settings written before a failure stay; the dialog stays open.
      component::RunTrapped(boxes_, u"cmdOK", [&] {
        if (logic_->Ok(*this)) Close();
      });
      break;
    case kIdCmdCancel:
      Close();
      break;
    case kIdCmdClearFile:
      logic_->ClearFile();
      break;
    case kIdCmdViewFile:
      logic_->ViewFile();
      break;
    case kIdCmdViewDebugger:  // reports its own failures
      logic_->ViewDebugger();
      break;
  }
}

bool OptionsDialogWin32::PreviewMessage(MSG& message) {
  if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
  const bool key_down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
  if (key_down && message.wParam == VK_ESCAPE) {  // whatever Shift, Ctrl and Alt say
    Close();
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
    // Enter presses the button that has the focus, and nothing else.
    HWND focus = GetFocus();
    if (!focus || !IsChild(window_, focus) || !IsPushButton(focus)) return false;  // to the control itself
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
  }
  return IsDialogMessageW(window_, &message) != FALSE;
}

LRESULT OptionsDialogWin32::Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam && GetParent(reinterpret_cast<HWND>(lparam)) == window)
        Command(LOWORD(wparam));
      return 0;
    case WM_CLOSE:  // the window's own close command: nothing is saved
      Close();
      return 0;
    case WM_SHOWWINDOW:
    case WM_DESTROY:
      WakeModalLoopOnClose(message, wparam);
      break;
    case WM_NCDESTROY:
      window_ = tooltip_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace windows
