#include "com_client.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tolvex_test {

namespace {

// The tests run in one single-threaded apartment.
class ComApartment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};
testing::Environment* const kApartment = testing::AddGlobalTestEnvironment(new ComApartment);

}  // namespace

std::wstring Outcome::text() const {
  const VARIANT* v = result.get();
  if (V_VT(v) != VT_BSTR) return L"<vt " + std::to_wstring(V_VT(v)) + L">";
  return std::wstring(V_BSTR(v), SysStringLen(V_BSTR(v)));
}

LateBound::LateBound(const wchar_t* prog_id) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(prog_id, &clsid))) return;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch_.put_void());
}

DISPID LateBound::Id(const wchar_t* name) const {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
  return id;
}

Outcome LateBound::Call(const wchar_t* name, std::vector<VARIANTARG> args, WORD flags) const {
  return Invoke(Id(name), flags, std::move(args), false);
}

Outcome LateBound::Put(const wchar_t* name, const VARIANT& value) const {
  return Invoke(Id(name), DISPATCH_PROPERTYPUT, {value}, true);
}

Outcome LateBound::Invoke(DISPID id, WORD flags, std::vector<VARIANTARG> args, bool property_put) const {
  Outcome out;
  std::reverse(args.begin(), args.end());  // rgvarg holds the last argument first
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{args.data(), property_put ? &put_id : nullptr, static_cast<UINT>(args.size()),
                    property_put ? 1u : 0u};
  EXCEPINFO exception{};
  UINT arg_error = 0;
  out.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, property_put ? nullptr : out.result.get(),
                             &exception, &arg_error);
  if (out.hr == DISP_E_EXCEPTION) {
    out.scode = exception.scode;
    if (exception.bstrDescription) out.description = exception.bstrDescription;
    if (exception.bstrSource) out.source = exception.bstrSource;
  }
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  return out;
}


}  // namespace tolvex_test
