#include "winkit/errors.h"

#include "winkit/handles.h"

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

}  // namespace winkit
