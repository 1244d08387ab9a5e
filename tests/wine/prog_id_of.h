#pragma once
// The ProgID the platform gives for a class identifier (ProgIDFromCLSID), the name a
// host shows or stores for the class; "<none>" when it gives none.
#include <objbase.h>

#include <string>

inline std::wstring ProgIdOf(const CLSID& clsid) {
  LPOLESTR text = nullptr;
  if (FAILED(ProgIDFromCLSID(clsid, &text)) || !text) return L"<none>";
  std::wstring result = text;
  CoTaskMemFree(text);
  return result;
}
