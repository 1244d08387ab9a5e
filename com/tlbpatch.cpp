// velk10_tlbpatch: applies field edits to an MSFT type library (see msft_typelib.h).
//   velk10_tlbpatch <input.tlb> <output.tlb> <edit>...
// Edits, applied in the order given:
//   --add-type-flags <Type>=<flags>          TYPEFLAG_ bits to add (C notation, e.g. 0x8)
//   --optional-count <Type>.<Member>=<n>     cParamsOpt of a function
//   --unname-retvals                         [retval] parameters lose their names
//   --drop-library-custdata                  no custom data on the library
// The output is written only when every edit succeeded.
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "msft_typelib.h"

namespace {

// Names in the library are ASCII; anything else becomes '?' and matches no name.
std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
  return out;
}

std::vector<std::uint8_t> ReadFile(const wchar_t* path) {
  FILE* f = _wfopen(path, L"rb");
  if (!f) throw msft::FormatError("cannot open " + Narrow(path));
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw msft::FormatError("cannot read " + Narrow(path));
  return bytes;
}

void WriteFile(const wchar_t* path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = _wfopen(path, L"wb");
  if (!f) throw msft::FormatError("cannot create " + Narrow(path));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    _wremove(path);
    throw msft::FormatError("cannot write " + Narrow(path));
  }
}

// Splits "<left>=<value>" (and "<type>.<member>" on the left when member is wanted).
void Split(const std::string& arg, std::string& type, std::string* member, unsigned long& value) {
  std::size_t eq = arg.rfind('=');
  if (eq == std::string::npos || eq + 1 == arg.size()) throw msft::FormatError("missing =value in " + arg);
  type = arg.substr(0, eq);
  if (member) {
    std::size_t dot = type.find('.');
    if (dot == std::string::npos) throw msft::FormatError("missing <type>.<member> in " + arg);
    *member = type.substr(dot + 1);
    type.resize(dot);
  }
  char* end;
  value = std::strtoul(arg.c_str() + eq + 1, &end, 0);
  if (*end) throw msft::FormatError("not a number in " + arg);
}

void Apply(msft::Image& image, int argc, wchar_t** argv) {
  for (int i = 3; i < argc; ++i) {
    std::wstring option = argv[i];
    std::string type, member;
    unsigned long value;
    if (option == L"--unname-retvals") {
      image.UnnameRetvals();
    } else if (option == L"--drop-library-custdata") {
      image.DropLibraryCustomData();
    } else if (option == L"--add-type-flags" && i + 1 < argc) {
      Split(Narrow(argv[++i]), type, nullptr, value);
      image.AddTypeFlags(type, static_cast<std::uint32_t>(value));
    } else if (option == L"--optional-count" && i + 1 < argc) {
      Split(Narrow(argv[++i]), type, &member, value);
      image.SetOptionalCount(type, member, static_cast<int>(value));
    } else {
      throw msft::FormatError("unknown or incomplete edit " + Narrow(argv[i]));
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: velk10_tlbpatch <input.tlb> <output.tlb> <edit>...\n");
    return 2;
  }
  try {
    msft::Image image(ReadFile(argv[1]));
    Apply(image, argc, argv);
    WriteFile(argv[2], image.bytes());
  } catch (const msft::FormatError& e) {
    std::fprintf(stderr, "velk10_tlbpatch: %s\n", e.what());
    return 1;
  }
  return 0;
}
