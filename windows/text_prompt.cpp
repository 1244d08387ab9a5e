#include "windows/text_prompt.h"

#include <vector>

#include "windows/form_support.h"
#include "winkit/module.h"
#include "winkit/wide_text.h"

namespace windows {

namespace {

constexpr WORD kEditId = 100;

// A dialog template in memory: DLGTEMPLATE, its controls, each on a DWORD boundary.
class DialogTemplate {
 public:
  DialogTemplate(const wchar_t* caption, short width, short height) {
    DLGTEMPLATE head{};
    head.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    head.cx = width;
    head.cy = height;
    Add(&head, sizeof head);
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(caption);
    Word(8);  // the font's points
    Text(L"MS Shell Dlg");
  }
  void Control(DWORD style, short x, short y, short width, short height, WORD id, WORD control_class,
               const wchar_t* text) {
    Align();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = width;
    item.cy = height;
    item.id = id;
    Add(&item, sizeof item);
    Word(0xFFFF);  // a predefined class by its atom
    Word(control_class);
    Text(text);
    Word(0);  // no creation data
    reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit++;
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Add(const void* data, size_t size) {
    const auto* begin = static_cast<const WORD*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size / sizeof(WORD));
  }
  void Word(WORD value) { bytes_.push_back(value); }
  void Text(const wchar_t* text) { Add(text, (wcslen(text) + 1) * sizeof(wchar_t)); }
  void Align() {
    if (bytes_.size() % 2) bytes_.push_back(0);
  }
  std::vector<WORD> bytes_;  // WORD-sized: every part is WORD-aligned
};

struct Prompt {
  common::TextView initial;
  common::Text result;
};

INT_PTR CALLBACK PromptProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* prompt = reinterpret_cast<Prompt*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      prompt = reinterpret_cast<Prompt*>(lparam);
      const common::Text initial(prompt->initial);
      SetDlgItemTextW(dialog, kEditId, winkit::Wide(initial));
      SendDlgItemMessageW(dialog, kEditId, EM_SETSEL, 0, -1);
      return TRUE;  // the focus goes to the edit box, the first control that takes it
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        HWND edit = GetDlgItem(dialog, kEditId);
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        prompt->result = winkit::TextOf(text.c_str());
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<common::Text> PromptForText(HWND owner, const wchar_t* caption, const wchar_t* label,
                                          common::TextView initial) {
  DialogTemplate form(caption, 220, 62);
  form.Control(SS_LEFT, 7, 7, 206, 10, static_cast<WORD>(-1), 0x0082, label);
  form.Control(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 19, 206, 14, kEditId, 0x0081, L"");
  form.Control(BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 41, 50, 14, IDOK, 0x0080, L"OK");
  form.Control(BS_PUSHBUTTON | WS_TABSTOP, 163, 41, 50, 14, IDCANCEL, 0x0080, L"Cancel");
  Prompt prompt{initial, {}};
  INT_PTR answer = DialogBoxIndirectParamW(winkit::ThisModule(), form.get(), owner, &PromptProcedure,
                                           reinterpret_cast<LPARAM>(&prompt));
  if (answer == -1 || answer == 0) RaiseLastWindowError(u"Cannot show the prompt");
  if (answer != IDOK) return std::nullopt;
  return prompt.result;
}

}  // namespace windows
