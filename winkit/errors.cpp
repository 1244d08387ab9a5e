#include "winkit/errors.h"

#include "winkit/handles.h"
#include "winkit/wide_text.h"

namespace winkit {

HRESULT RaiseError(const common::AutomationError& error, REFIID iid, const wchar_t* source) noexcept {
  const HRESULT code = static_cast<HRESULT>(error.result_code());
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return code;
  // SetDescription takes a NUL-terminated string; descriptions never hold NUL.
  std::wstring description(error.description().begin(), error.description().end());
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(source));
  create->SetDescription(description.data());
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(info))) SetErrorInfo(0, info.get());
  return code;
}

void FillExcepInfo(HRESULT result, EXCEPINFO* info, const wchar_t* source) noexcept {
  if (!info) return;
  ComPtr<IErrorInfo> error;
  if (GetErrorInfo(0, error.put()) == S_OK) {
    if (!info->bstrSource) error->GetSource(&info->bstrSource);
    if (!info->bstrDescription) error->GetDescription(&info->bstrDescription);
  }
  if (!info->bstrSource) info->bstrSource = SysAllocString(source);
  if (info->wCode == 0) info->scode = result;
}

common::Text SystemMessage(DWORD code) {
  wchar_t* message = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (!message) return {};
  common::Text text(TextOf(message));
  LocalFree(message);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
  return text;
}

}  // namespace winkit
