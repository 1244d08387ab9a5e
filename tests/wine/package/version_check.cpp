// version_check <version> <dll>...: each DLL's version resource carries the project's
// version: FileVersion and ProductVersion (the text and the numbers), ProductName velk10
// and a FileDescription. Prints each difference and exits with 1 when there is one.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Fail(const wchar_t* dll, const std::wstring& what) {
  fwprintf(stderr, L"%ls: %ls\n", dll, what.c_str());
  ++failures;
}

// The text <name> of the version resource's first string table, nullptr when absent.
const wchar_t* Text(std::vector<BYTE>& info, const wchar_t* name) {
  struct Translation {
    WORD language, code_page;
  }* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(Translation))
    return nullptr;
  wchar_t path[80];
  swprintf(path, 80, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->code_page, name);
  void* value = nullptr;
  return VerQueryValueW(info.data(), path, &value, &length) ? static_cast<const wchar_t*>(value) : nullptr;
}

void Check(const wchar_t* dll, const std::wstring& version) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll, &ignored);
  std::vector<BYTE> info(size);
  if (size == 0 || !GetFileVersionInfoW(dll, 0, size, info.data())) return Fail(dll, L"no version resource");

  unsigned major = 0, minor = 0, patch = 0;
  swscanf(version.c_str(), L"%u.%u.%u", &major, &minor, &patch);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
    return Fail(dll, L"no fixed file information");
  const DWORD high = MAKELONG(minor, major), low = MAKELONG(0, patch);
  if (fixed->dwFileVersionMS != high || fixed->dwFileVersionLS != low) Fail(dll, L"FILEVERSION is not " + version);
  if (fixed->dwProductVersionMS != high || fixed->dwProductVersionLS != low)
    Fail(dll, L"PRODUCTVERSION is not " + version);

  const struct {
    const wchar_t* name;
    std::wstring wanted;  // empty: any text but an empty one
  } texts[] = {{L"FileVersion", version}, {L"ProductVersion", version}, {L"ProductName", L"velk10"},
               {L"FileDescription", L""}};
  for (const auto& text : texts) {
    const wchar_t* value = Text(info, text.name);
    if (!value || (text.wanted.empty() ? *value == L'\0' : text.wanted != value))
      Fail(dll, std::wstring(text.name) + L" is '" + (value ? value : L"<absent>") + L"', expected '" +
                    (text.wanted.empty() ? L"<a description>" : text.wanted) + L"'");
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: version_check <version> <dll>...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) Check(argv[i], argv[1]);
  if (failures == 0) wprintf(L"every DLL carries version %ls\n", argv[1]);
  return failures == 0 ? 0 : 1;
}
