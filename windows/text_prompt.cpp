#include "windows/text_prompt.h"

#include "windows/form_support.h"
#include "windows/resource_ids.h"
#include "winkit/module.h"
#include "winkit/wide_text.h"

namespace windows {

namespace {

struct Prompt {
  const wchar_t* caption;
  const wchar_t* label;
  common::TextView initial;
  common::Text result;
};

INT_PTR CALLBACK PromptProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* prompt = reinterpret_cast<Prompt*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      prompt = reinterpret_cast<Prompt*>(lparam);
      SetWindowTextW(dialog, prompt->caption);
      SetDlgItemTextW(dialog, IDC_PROMPT_LABEL, prompt->label);
      const common::Text initial(prompt->initial);
      SetDlgItemTextW(dialog, IDC_PROMPT_TEXT, winkit::Wide(initial));
      SendDlgItemMessageW(dialog, IDC_PROMPT_TEXT, EM_SETSEL, 0, -1);
      return TRUE;  // the focus goes to the edit box, the first control that takes it
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        HWND edit = GetDlgItem(dialog, IDC_PROMPT_TEXT);
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
  Prompt prompt{caption, label, initial, {}};
  INT_PTR answer = DialogBoxParamW(winkit::ThisModule(), MAKEINTRESOURCEW(IDD_TEXT_PROMPT), owner, &PromptProcedure,
                                   reinterpret_cast<LPARAM>(&prompt));
  if (answer == -1 || answer == 0) RaiseLastWindowError(u"Cannot show the prompt");
  if (answer != IDOK) return std::nullopt;
  return prompt.result;
}

}  // namespace windows
