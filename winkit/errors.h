#pragma once
// Automation errors thrown by the portable code, carried back to COM callers: the
// thread's IErrorInfo for v-table callers, EXCEPINFO for IDispatch callers, both with
// the number's failure code, the description and the component's ProgID as source.
#include <windows.h>
#include <oleauto.h>

#include <new>

#include "common/automation_error.h"

namespace winkit {

// Publishes the error on this thread (SetErrorInfo) and returns its failure code.
HRESULT RaiseError(const common::AutomationError& error, REFIID iid, const wchar_t* source) noexcept;

// Completes EXCEPINFO for a failed call from its result and the error information the
// call published on this thread; source stands in when the call published none.
void FillExcepInfo(HRESULT result, EXCEPINFO* info, const wchar_t* source) noexcept;

// The platform's text for a system error or failure code, without its trailing line
// break; empty when the platform has none.
common::Text SystemMessage(DWORD code);

// Runs body, converting whatever it throws into a failure code with error information.
template <class Body>
HRESULT Guard(REFIID iid, const wchar_t* source, Body&& body) noexcept {
  SetErrorInfo(0, nullptr);
  try {
    body();
    return S_OK;
  } catch (const common::AutomationError& error) {
    return RaiseError(error, iid, source);
  } catch (const std::bad_alloc&) {
    return RaiseError(common::AutomationError(7, u"Out of memory"), iid, source);
  } catch (...) {
    return RaiseError(common::AutomationError(51, u"Internal error"), iid, source);
  }
}

}  // namespace winkit
