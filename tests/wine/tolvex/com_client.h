#pragma once
// Test-side COM helpers: a late-bound client that calls members by name through
// IDispatch, and small builders for argument VARIANTs.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "tests/wine/variant_args.h"
#include "winkit/handles.h"

namespace tolvex_test {

// What one IDispatch::Invoke gave back.
struct Outcome {
  HRESULT hr = E_FAIL;
  winkit::Variant result;
  HRESULT scode = S_OK;  // EXCEPINFO scode when hr is DISP_E_EXCEPTION
  std::wstring description, source;

  bool ok() const { return SUCCEEDED(hr); }
  std::wstring text() const;  // the result as text (VT_BSTR), or "<vt N>"
};

class LateBound {
 public:
  // Creates the object from its ProgID (CLSIDFromProgID, CoCreateInstance).
  explicit LateBound(const wchar_t* prog_id);
  explicit operator bool() const { return static_cast<bool>(dispatch_); }
  IDispatch* get() const { return dispatch_.get(); }

  // The member's DISPID, DISPID_UNKNOWN when GetIDsOfNames fails.
  DISPID Id(const wchar_t* name) const;
  // Arguments in call order; they stay owned by the caller.
  Outcome Call(const wchar_t* name, std::vector<VARIANTARG> args = {}, WORD flags = DISPATCH_METHOD) const;
  Outcome Get(const wchar_t* name) const { return Call(name, {}, DISPATCH_PROPERTYGET); }
  Outcome Put(const wchar_t* name, const VARIANT& value) const;
  Outcome Invoke(DISPID id, WORD flags, std::vector<VARIANTARG> args, bool property_put) const;

 private:
  winkit::ComPtr<IDispatch> dispatch_;
};

// Argument builders: the VARIANTs own nothing (BSTRs live in the winkit::Bstr given).
using wine_test::I2;
using wine_test::R8;
using wine_test::Ref;
using wine_test::Str;

}  // namespace tolvex_test
