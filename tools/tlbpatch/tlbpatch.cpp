// tlbpatch: applies field edits to an MSFT type library (see msft_typelib.h). A tool of
// the host that the MinGW builds run on widl's output, for either bitness.
//   tlbpatch <input.tlb> <output.tlb> <edit>...
// Edits, applied in the order given:
//   --add-type-flags <Type>=<flags>          TYPEFLAG_ bits to add (C notation, e.g. 0x8)
//   --optional-count <Type>.<Member>=<n>     cParamsOpt of a function
//   --unname-retvals                         [retval] parameters lose their names
//   --drop-library-custdata                  no custom data on the library
// The output is written only when every edit succeeded.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "msft_typelib.h"

namespace {

std::vector<std::uint8_t> ReadFile(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) throw msft::FormatError(std::string("cannot open ") + path);
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw msft::FormatError(std::string("cannot read ") + path);
  return bytes;
}

void WriteFile(const char* path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = std::fopen(path, "wb");
  if (!f) throw msft::FormatError(std::string("cannot create ") + path);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::remove(path);
    throw msft::FormatError(std::string("cannot write ") + path);
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

void Apply(msft::Image& image, int argc, char** argv) {
  for (int i = 3; i < argc; ++i) {
    std::string option = argv[i];
    std::string type, member;
    unsigned long value;
    if (option == "--unname-retvals") {
      image.UnnameRetvals();
    } else if (option == "--drop-library-custdata") {
      image.DropLibraryCustomData();
    } else if (option == "--add-type-flags" && i + 1 < argc) {
      Split(argv[++i], type, nullptr, value);
      image.AddTypeFlags(type, static_cast<std::uint32_t>(value));
    } else if (option == "--optional-count" && i + 1 < argc) {
      Split(argv[++i], type, &member, value);
      image.SetOptionalCount(type, member, static_cast<int>(value));
    } else {
      throw msft::FormatError(std::string("unknown or incomplete edit ") + argv[i]);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tlbpatch <input.tlb> <output.tlb> <edit>...\n");
    return 2;
  }
  try {
    msft::Image image(ReadFile(argv[1]));
    Apply(image, argc, argv);
    WriteFile(argv[2], image.bytes());
  } catch (const msft::FormatError& e) {
    std::fprintf(stderr, "tlbpatch: %s\n", e.what());
    return 1;
  }
  return 0;
}
