#include "ui_driver.h"

#include <tlhelp32.h>

#include <exception>
#include <map>

namespace ui {

namespace {

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevel() {
  std::vector<HWND> all;
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool Ours(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId();
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

}  // namespace

std::vector<HWND> WindowsWithCaption(const std::wstring& caption) {
  std::vector<HWND> found;
  for (HWND window : TopLevel())
    if (Ours(window) && CaptionOf(window) == caption) {
      // Once its thread takes a message, the window is made: a dialog has its controls.
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
      found.push_back(window);
    }
  return found;
}

std::vector<HWND> DialogWindows() {
  std::vector<HWND> found;
  for (HWND window : TopLevel())
    if (Ours(window) && ClassOf(window) == L"#32770") found.push_back(window);
  return found;
}

HWND ThreadWindowOfClass(DWORD thread, const std::wstring& window_class) {
  std::vector<HWND> all;
  EnumThreadWindows(thread, &Collect, reinterpret_cast<LPARAM>(&all));
  for (HWND window : all)
    if (_wcsicmp(ClassOf(window).c_str(), window_class.c_str()) == 0) return window;
  return nullptr;
}

HWND StartedProcessWindow(const std::wstring& part) {
  std::map<DWORD, DWORD> parents;  // process -> the process that started it
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  auto started_here = [&](DWORD process) {
    for (int depth = 0; depth < 8; ++depth) {  // a few generations: the program, a launcher before it
      auto parent = parents.find(process);
      if (parent == parents.end()) return false;
      if (parent->second == GetCurrentProcessId()) return true;
      process = parent->second;
    }
    return false;
  };
  for (HWND window : TopLevel()) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (IsWindowVisible(window) && wcsstr(title, part.c_str()) && started_here(process)) return window;
  }
  return nullptr;
}

std::vector<HWND> ProcessWindows(DWORD process, const std::wstring& window_class) {
  std::vector<HWND> found;
  for (HWND window : TopLevel()) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && ClassOf(window) == window_class) found.push_back(window);
  }
  return found;
}

HWND WaitForWindow(const std::wstring& caption, int timeout_ms, bool visible_only) {
  for (int waited = 0;; waited += 20) {
    for (HWND window : WindowsWithCaption(caption))
      if (!visible_only || IsWindowVisible(window)) return window;
    if (waited >= timeout_ms) return nullptr;
    Sleep(20);
  }
}

bool WaitUntilGone(HWND window, int timeout_ms) {
  for (int waited = 0; IsWindow(window); waited += 20) {
    if (waited >= timeout_ms) return false;
    Sleep(20);
  }
  return true;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  // Not GetWindowTextW: a window of another thread that is busy must not block us.
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
  return text;
}

std::wstring CaptionOf(HWND window) {
  wchar_t text[1024] = {};
  InternalGetWindowText(window, text, 1024);
  return text;
}

SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

RECT RectInParent(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ItemText(HWND list, int item, int column) {
  wchar_t text[2048] = {};
  LVITEMW lv{};
  lv.iSubItem = column;
  lv.pszText = text;
  lv.cchTextMax = 2048;
  SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
  return text;
}

std::vector<std::wstring> Row(HWND list, int item, int columns) {
  std::vector<std::wstring> row;
  for (int c = 0; c < columns; ++c) row.push_back(ItemText(list, item, c));
  return row;
}

std::vector<std::wstring> ColumnTexts(HWND list, int column) {
  std::vector<std::wstring> texts;
  for (int i = 0, n = ItemCount(list); i < n; ++i) texts.push_back(ItemText(list, i, column));
  return texts;
}

std::wstring HeaderText(HWND list, int column) {
  wchar_t text[256] = {};
  LVCOLUMNW lv{};
  lv.mask = LVCF_TEXT;
  lv.pszText = text;
  lv.cchTextMax = 256;
  if (!SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&lv))) return L"<none>";
  return text;
}

int ColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

void SelectItem(HWND list, int item, bool selected) {
  LVITEMW lv{};
  lv.stateMask = LVIS_SELECTED;
  lv.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lv));
}

void ClickHeader(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT item{};
  SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item));
  LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  SendMessageW(header, WM_MOUSEMOVE, 0, at);
  SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(header, WM_LBUTTONUP, 0, at);
}

void PressKey(HWND window, WORD key, const std::vector<int>& held) {
  BYTE before[256], during[256];
  GetKeyboardState(before);
  std::copy(std::begin(before), std::end(before), during);
  bool alt = false;
  for (int k : held) {
    during[k] |= 0x80;
    if (k == VK_MENU) alt = true;
  }
  SetKeyboardState(during);
  SendMessageW(window, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, alt ? 0x20000001 : 1);
  SendMessageW(window, alt ? WM_SYSKEYUP : WM_KEYUP, key, alt ? 0xE0000001 : 0xC0000001);
  SetKeyboardState(before);
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.window = box;
  std::vector<HWND> children;
  EnumChildWindows(box, &Collect, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    std::wstring kind = ClassOf(child);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
      info.buttons.push_back(TextOf(child));
      if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) info.default_button = TextOf(child);
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) info.has_icon = true;
      else if (!TextOf(child).empty()) info.text = TextOf(child);
    }
  }
  return info;
}

void AnswerMessageBox(HWND box, int button_id) {
  HWND button = GetDlgItem(box, button_id);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void WhileModal(const std::function<void()>& call, const std::function<void()>& action,
                const std::vector<std::wstring>& captions) {
  std::atomic<bool> returned{false};
  std::thread driver([&] {
    try {
      action();
    } catch (...) {
    }
    // Whatever the action left open is closed, so that the modal call ends.
    while (!returned) {
      for (HWND box : DialogWindows()) {
        AnswerMessageBox(box, IDNO);
        AnswerMessageBox(box, IDOK);
      }
      for (const std::wstring& caption : captions)
        for (HWND window : WindowsWithCaption(caption)) PostMessageW(window, WM_CLOSE, 0, 0);
      Sleep(100);
    }
  });
  std::exception_ptr failure;
  try {
    call();
  } catch (...) {
    failure = std::current_exception();
  }
  returned = true;
  driver.join();
  if (failure) std::rethrow_exception(failure);
}

void FilterBy(HWND list, const std::optional<std::wstring>& text) {
  WhileModal([&] { PressKey(list, 'L', {VK_CONTROL}); },
             [&] {
               HWND prompt = WaitForWindow(L"Filter");
               HWND edit = prompt ? FindWindowExW(prompt, nullptr, L"Edit", nullptr) : nullptr;
               if (!edit) return;
               if (text) SetWindowTextW(edit, text->c_str());
               PostMessageW(edit, WM_KEYDOWN, text ? VK_RETURN : VK_ESCAPE, 1);
               WaitUntilGone(prompt);
             },
             {L"Filter"});
}

void Pump(int milliseconds) {
  DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
  MSG message;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  }
}

}  // namespace ui
