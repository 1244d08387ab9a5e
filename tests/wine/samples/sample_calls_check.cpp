// sample_calls_check <velk10.dll or .tlb> <member> <call|put|putref> <argument count> ...
// Checks each call against the interface _clsVELKDebuggerA of the type library that the
// file carries: the member exists under that name (any letter case) as a method ("call"),
// a property assignment ("put") or an object assignment ("putref", VB's Set), and takes
// that many arguments (at least its required ones, at most all of them). Prints one line per call; exits 1 if any fails.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "velk10.h"

namespace {

struct Found {
  bool exists = false;
  UINT required = 0, total = 0;
};

// The member `name` of kind `kind` in `info`, with its parameter counts (the return
// value not counted).
Found Lookup(ITypeInfo* info, const wchar_t* name, INVOKEKIND kind) {
  Found found;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return found;
  for (UINT i = 0; i < attr->cFuncs && !found.exists; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    BSTR func_name = nullptr;
    info->GetDocumentation(func->memid, &func_name, nullptr, nullptr, nullptr);
    if (func->invkind == kind && func_name && _wcsicmp(func_name, name) == 0) {
      found.exists = true;
      for (SHORT p = 0; p < func->cParams; ++p) {
        USHORT flags = func->lprgelemdescParam[p].paramdesc.wParamFlags;
        if (flags & PARAMFLAG_FRETVAL) continue;
        ++found.total;
        if (!(flags & PARAMFLAG_FOPT)) ++found.required;
      }
    }
    SysFreeString(func_name);
    info->ReleaseFuncDesc(func);
  }
  info->ReleaseTypeAttr(attr);
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5 || (argc - 2) % 3 != 0) {
    std::fwprintf(stderr, L"usage: sample_calls_check <file> <member> <call|put> <count> ...\n");
    return 2;
  }
  wchar_t full[MAX_PATH];
  GetFullPathNameW(argv[1], MAX_PATH, full, nullptr);
  ITypeLib* lib = nullptr;
  ITypeInfo* info = nullptr;
  if (FAILED(LoadTypeLibEx(full, REGKIND_NONE, &lib)) || FAILED(lib->GetTypeInfoOfGuid(IID__clsVELKDebuggerA, &info))) {
    std::fwprintf(stderr, L"cannot read _clsVELKDebuggerA from %ls\n", full);
    return 1;
  }
  int failures = 0;
  for (int i = 2; i + 2 < argc; i += 3) {
    const wchar_t* member = argv[i];
    const std::wstring kind = argv[i + 1];
    const UINT count = static_cast<UINT>(_wtoi(argv[i + 2]));
    Found found = Lookup(info, member,
                         kind == L"put" ? INVOKE_PROPERTYPUT : kind == L"putref" ? INVOKE_PROPERTYPUTREF : INVOKE_FUNC);
    if (!found.exists) {
      std::wprintf(L"FAIL %ls: no member of that name to %ls\n", member,
                   kind == L"call" ? L"call" : kind == L"put" ? L"assign a value to" : L"assign an object to (Set)");
      ++failures;
    } else if (count < found.required || count > found.total) {
      std::wprintf(L"FAIL %ls: %u arguments, it takes %u to %u\n", member, count, found.required, found.total);
      ++failures;
    } else {
      std::wprintf(L"ok   %ls: %u arguments (%u to %u)\n", member, count, found.required, found.total);
    }
  }
  info->Release();
  lib->Release();
  return failures ? 1 : 0;
}
