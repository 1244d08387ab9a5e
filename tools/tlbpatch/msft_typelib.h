#pragma once
// Reads and edits a type library file in the MSFT format (the format that widl, MIDL and
// CreateTypeLib2 write). The build uses it to finish velk10.tlb after widl: widl cannot
// express every attribute of the library, and the few that it gets wrong are single
// fields in the file, so they are rewritten in place. Nothing is inserted or moved: the
// file keeps its size and every offset in it stays valid.
//
// Every read is bounds-checked; a file that does not hold together raises FormatError,
// and so does an edit whose target is missing, ambiguous or would contradict the rest
// of the description.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace msft {

class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Flags of a parameter record (the PARAMFLAG_ values of OLE Automation).
inline constexpr std::int32_t kParamIn = 0x1;
inline constexpr std::int32_t kParamOut = 0x2;
inline constexpr std::int32_t kParamRetval = 0x8;
inline constexpr std::int32_t kParamOptional = 0x10;
inline constexpr std::int32_t kParamHasDefault = 0x20;

struct Param {
  std::size_t offset = 0;  // of the parameter record in the file
  std::int32_t type = 0;   // type reference (built-in type or offset in the type table)
  std::int32_t name = -1;  // offset in the name table; -1: no name
  std::int32_t flags = 0;
};

struct Function {
  std::size_t offset = 0;  // of the function record in the file
  std::string name;
  std::int32_t memid = 0;
  int funckind = 0;  // FUNCKIND
  int invkind = 0;   // INVOKEKIND
  int callconv = 0;  // CALLCONV
  std::int16_t vtable_offset = 0;
  std::int16_t optional_count = 0;  // cParamsOpt
  std::int32_t func_flags = 0;      // wFuncFlags
  std::vector<Param> params;        // including the [retval] one
};

struct TypeInfo {
  std::size_t offset = 0;  // of the type info record in the file
  std::string name;
  int typekind = 0;  // TYPEKIND
  std::uint32_t flags = 0;
  std::vector<Function> functions;
};

class Image {
 public:
  // Parses the file; throws FormatError when it is not a well-formed MSFT type library.
  explicit Image(std::vector<std::uint8_t> bytes);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  const std::vector<TypeInfo>& types() const { return types_; }

  // The type info with this name, or FormatError.
  const TypeInfo& Type(std::string_view name) const;
  // The only function of that type info with this name, or FormatError (also when the
  // name is ambiguous, as for a property with get and put accessors).
  const Function& Member(std::string_view type, std::string_view member) const;
  // The name stored at this offset of the name table.
  std::string Name(std::int32_t offset) const;
  // Offset of the library's custom data chain, -1 when it has none.
  std::int32_t LibraryCustomData() const;

  // Adds type flags (TYPEFLAG_ values) to a type info.
  void AddTypeFlags(std::string_view type, std::uint32_t flags);

  // Sets the count of optional arguments that a function declares (cParamsOpt). The
  // count may not exceed the run of [optional] parameters that ends the parameter list
  // (not counting the [retval] one).
  void SetOptionalCount(std::string_view type, std::string_view member, int count);

  // Removes the names of all [retval] parameters; returns how many it removed.
  int UnnameRetvals();

  // Detaches the custom data of the library itself (the compiler's signature and time
  // stamp) and clears the values it held, so that the file no longer changes from one
  // build to the next.
  void DropLibraryCustomData();

 private:
  void Parse();
  Function ReadFunction(std::uint64_t record, std::uint64_t end, std::int32_t memid, std::int32_t name) const;
  std::size_t Segment(int index, std::size_t* length) const;
  std::uint32_t U32(std::size_t offset) const;
  std::uint16_t U16(std::size_t offset) const;
  void Put32(std::size_t offset, std::uint32_t value);
  void Put16(std::size_t offset, std::uint16_t value);
  void Clear(std::size_t offset, std::size_t length);

  std::vector<std::uint8_t> bytes_;
  std::vector<TypeInfo> types_;
  std::size_t segments_ = 0;  // offset of the segment directory
};

}  // namespace msft
