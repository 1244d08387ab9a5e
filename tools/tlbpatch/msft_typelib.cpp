#include "msft_typelib.h"

#include <cstdio>

namespace msft {
namespace {

// File layout. The header is followed by an optional help-DLL field, the table of type
// info offsets and the directory of 15 segments (offset, length, two reserved words).
constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kVarFlags = 0x14;
constexpr std::size_t kTypeInfoCount = 0x20;
constexpr std::size_t kCustomData = 0x40;
constexpr std::uint32_t kHelpDllFlag = 0x100;
constexpr int kSegmentCount = 15;
constexpr std::size_t kSegmentEntry = 16;
constexpr int kTypeInfoSegment = 0;
constexpr int kNameSegment = 7;
constexpr int kCustDataSegment = 11;
constexpr int kCustDataGuidSegment = 12;

// Type info record.
constexpr std::size_t kTypeInfoSize = 0x64;
constexpr std::size_t kTypeKind = 0x00;
constexpr std::size_t kMembers = 0x04;  // offset of the member block
constexpr std::size_t kElements = 0x18;  // low word functions, high word variables
constexpr std::size_t kTypeFlags = 0x30;
constexpr std::size_t kTypeName = 0x34;

// Function record: fixed part, optional attributes, then one record per parameter.
constexpr std::size_t kFuncFixed = 24;
constexpr std::size_t kFuncFlags = 8;
constexpr std::size_t kFuncVtable = 12;
constexpr std::size_t kFuncKinds = 16;  // funckind, invkind, callconv bit fields
constexpr std::size_t kFuncParams = 20;
constexpr std::size_t kFuncOptional = 22;
constexpr std::size_t kParamSize = 12;

// Name table entry: reference, hash chain, length byte (and hash), then the characters.
constexpr std::size_t kNameHeader = 12;

// Custom data chain entry: guid, value, next entry.
constexpr std::size_t kCustDataEntry = 12;

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// Stored size of a custom data value of type vt after its type word; -1: unknown type.
std::int64_t ValueSize(std::uint16_t vt) {
  switch (vt) {
    case 0: case 1: case 2: case 3: case 4: case 10: case 11:  // EMPTY NULL I2 I4 R4 ERROR BOOL
    case 16: case 17: case 18: case 19: case 22: case 23: case 24: case 25:  // I1 UI1 UI2 UI4 INT UINT VOID HRESULT
      return 4;
    case 5: case 6: case 7: case 14: case 20: case 21: case 64:  // R8 CY DATE DECIMAL I8 UI8 FILETIME
      return 8;
    default:
      return -1;
  }
}

}  // namespace

Image::Image(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) { Parse(); }

std::uint32_t Image::U32(std::size_t offset) const {
  if (static_cast<std::uint64_t>(offset) + 4 > bytes_.size())
    throw FormatError("read past the end of the file at " + Hex(offset));
  return bytes_[offset] | bytes_[offset + 1] << 8 | bytes_[offset + 2] << 16 |
         static_cast<std::uint32_t>(bytes_[offset + 3]) << 24;
}

std::uint16_t Image::U16(std::size_t offset) const {
  if (static_cast<std::uint64_t>(offset) + 2 > bytes_.size())
    throw FormatError("read past the end of the file at " + Hex(offset));
  return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
}

void Image::Put32(std::size_t offset, std::uint32_t value) {
  U32(offset);  // bounds
  for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Image::Put16(std::size_t offset, std::uint16_t value) {
  U16(offset);  // bounds
  bytes_[offset] = static_cast<std::uint8_t>(value);
  bytes_[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Image::Clear(std::size_t offset, std::size_t length) {
  if (static_cast<std::uint64_t>(offset) + length > bytes_.size())
    throw FormatError("value past the end of the file at " + Hex(offset));
  for (std::size_t i = 0; i < length; ++i) bytes_[offset + i] = 0;
}

std::size_t Image::Segment(int index, std::size_t* length) const {
  std::size_t entry = segments_ + index * kSegmentEntry;
  std::int32_t offset = static_cast<std::int32_t>(U32(entry));
  std::uint32_t size = U32(entry + 4);
  if (offset == -1) {
    *length = 0;
    return 0;
  }
  if (offset < 0 || static_cast<std::uint64_t>(offset) + size > bytes_.size())
    throw FormatError("segment " + std::to_string(index) + " lies outside the file");
  *length = size;
  return static_cast<std::size_t>(offset);
}

std::string Image::Name(std::int32_t offset) const {
  std::size_t length;
  std::size_t table = Segment(kNameSegment, &length);
  if (offset < 0 || static_cast<std::uint64_t>(offset) + kNameHeader > length)
    throw FormatError("name offset " + Hex(static_cast<std::uint32_t>(offset)) + " outside the name table");
  std::size_t entry = table + static_cast<std::size_t>(offset);
  std::size_t chars = bytes_[entry + 8];
  if (offset + kNameHeader + chars > length)
    throw FormatError("name at " + Hex(offset) + " runs past the name table");
  return std::string(bytes_.begin() + entry + kNameHeader, bytes_.begin() + entry + kNameHeader + chars);
}

std::int32_t Image::LibraryCustomData() const { return static_cast<std::int32_t>(U32(kCustomData)); }

void Image::Parse() {
  types_.clear();
  if (bytes_.size() < kHeaderSize || U32(0) != kMagic) throw FormatError("not an MSFT type library");
  std::uint32_t count = U32(kTypeInfoCount);
  std::uint64_t table = kHeaderSize + ((U32(kVarFlags) & kHelpDllFlag) ? 4 : 0);
  std::uint64_t directory = table + 4ull * count;
  if (directory + kSegmentCount * kSegmentEntry > bytes_.size())
    throw FormatError("type info table or segment directory past the end of the file");
  segments_ = static_cast<std::size_t>(directory);

  std::size_t infos_length;
  std::size_t infos = Segment(kTypeInfoSegment, &infos_length);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t relative = U32(static_cast<std::size_t>(table + 4ull * i));
    if (static_cast<std::uint64_t>(relative) + kTypeInfoSize > infos_length)
      throw FormatError("type info " + std::to_string(i) + " outside its segment");
    TypeInfo info;
    info.offset = infos + relative;
    info.typekind = static_cast<int>(U32(info.offset + kTypeKind) & 0xF);
    info.flags = U32(info.offset + kTypeFlags);
    info.name = Name(static_cast<std::int32_t>(U32(info.offset + kTypeName)));

    std::uint32_t elements = U32(info.offset + kElements);
    std::uint32_t functions = elements & 0xFFFF;
    std::uint32_t members = functions + (elements >> 16);
    if (members > 0) {
      std::uint64_t block = U32(info.offset + kMembers);
      std::uint64_t records = block + 4;
      std::uint64_t arrays = records + U32(static_cast<std::size_t>(block));
      // After the records: member ids, name offsets and record offsets, one per member.
      if (arrays + 12ull * members > bytes_.size())
        throw FormatError("members of " + info.name + " run past the end of the file");
      for (std::uint32_t j = 0; j < functions; ++j) {
        std::size_t at = static_cast<std::size_t>(arrays + 4ull * j);
        auto memid = static_cast<std::int32_t>(U32(at));
        auto name = static_cast<std::int32_t>(U32(at + 4 * members));
        std::uint64_t record = records + U32(at + 8 * members);
        info.functions.push_back(ReadFunction(record, arrays, memid, name));
      }
    }
    types_.push_back(std::move(info));
  }
}

Function Image::ReadFunction(std::uint64_t at, std::uint64_t end, std::int32_t memid, std::int32_t name) const {
  Function f;
  f.memid = memid;
  f.name = Name(name);
  if (at + kFuncFixed > end) throw FormatError("record of " + f.name + " outside its member block");
  // end lies inside the file, so the record's offset fits a size_t from here on.
  auto record = static_cast<std::size_t>(at);
  f.offset = record;
  std::size_t size = U32(record) & 0xFFFF;
  auto params = static_cast<std::int16_t>(U16(record + kFuncParams));
  if (size < kFuncFixed || at + size > end || params < 0 || kFuncFixed + params * kParamSize > size)
    throw FormatError("record of " + f.name + " has an impossible size");
  std::uint32_t kinds = U32(record + kFuncKinds);
  f.funckind = static_cast<int>(kinds & 0x7);
  f.invkind = static_cast<int>((kinds >> 3) & 0xF);
  f.callconv = static_cast<int>((kinds >> 8) & 0xF);
  f.func_flags = static_cast<std::int32_t>(U32(record + kFuncFlags) & 0xFFFF);
  f.vtable_offset = static_cast<std::int16_t>(U16(record + kFuncVtable));
  f.optional_count = static_cast<std::int16_t>(U16(record + kFuncOptional));
  for (int k = 0; k < params; ++k) {
    Param p;
    p.offset = record + size - (params - k) * kParamSize;
    p.type = static_cast<std::int32_t>(U32(p.offset));
    p.name = static_cast<std::int32_t>(U32(p.offset + 4));
    p.flags = static_cast<std::int32_t>(U32(p.offset + 8));
    f.params.push_back(p);
  }
  return f;
}

const TypeInfo& Image::Type(std::string_view name) const {
  for (const TypeInfo& t : types_)
    if (t.name == name) return t;
  throw FormatError("no type info named " + std::string(name));
}

const Function& Image::Member(std::string_view type, std::string_view member) const {
  const TypeInfo& t = Type(type);
  const Function* found = nullptr;
  for (const Function& f : t.functions) {
    if (f.name != member) continue;
    if (found) throw FormatError(std::string(type) + "." + std::string(member) + " names more than one function");
    found = &f;
  }
  if (!found) throw FormatError(std::string(type) + " has no function named " + std::string(member));
  return *found;
}

void Image::AddTypeFlags(std::string_view type, std::uint32_t flags) {
  const TypeInfo& t = Type(type);
  Put32(t.offset + kTypeFlags, t.flags | flags);
  Parse();
}

void Image::SetOptionalCount(std::string_view type, std::string_view member, int count) {
  const Function& f = Member(type, member);
  std::size_t last = f.params.size();
  if (last > 0 && (f.params[last - 1].flags & kParamRetval)) --last;
  int tail = 0;
  while (tail < static_cast<int>(last) && (f.params[last - 1 - tail].flags & kParamOptional)) ++tail;
  if (count < 0 || count > tail)
    throw FormatError(std::string(type) + "." + std::string(member) + " cannot declare " + std::to_string(count) +
                      " optional arguments: its parameter list ends in " + std::to_string(tail) +
                      " optional ones");
  Put16(f.offset + kFuncOptional, static_cast<std::uint16_t>(count));
  Parse();
}

int Image::UnnameRetvals() {
  int removed = 0;
  for (const TypeInfo& t : types_)
    for (const Function& f : t.functions)
      for (const Param& p : f.params)
        if ((p.flags & kParamRetval) && p.name != -1) {
          Put32(p.offset + 4, 0xFFFFFFFF);
          ++removed;
        }
  Parse();
  return removed;
}

void Image::DropLibraryCustomData() {
  std::int32_t entry = LibraryCustomData();
  if (entry == -1) return;
  std::size_t chain_length, values_length;
  std::size_t chain = Segment(kCustDataGuidSegment, &chain_length);
  std::size_t values = Segment(kCustDataSegment, &values_length);
  // Each entry is visited at most once; a longer walk means the chain loops.
  for (std::size_t steps = 0; entry != -1; ++steps) {
    if (entry < 0 || static_cast<std::uint64_t>(entry) + kCustDataEntry > chain_length ||
        steps > chain_length / kCustDataEntry)
      throw FormatError("broken custom data chain at " + Hex(static_cast<std::uint32_t>(entry)));
    std::size_t at = chain + static_cast<std::size_t>(entry);
    auto value = static_cast<std::int32_t>(U32(at + 4));
    entry = static_cast<std::int32_t>(U32(at + 8));
    if (value < 0) continue;  // a small value packed into the entry itself
    if (static_cast<std::uint64_t>(value) + 2 > values_length)
      throw FormatError("custom data value outside its segment at " + Hex(value));
    std::size_t start = values + static_cast<std::size_t>(value);
    std::uint16_t vt = U16(start);
    std::uint64_t payload, length;
    if (vt == 8) {  // VT_BSTR: length, then the characters
      auto chars = static_cast<std::int32_t>(U32(start + 2));
      payload = 6;
      length = chars < 0 ? 0 : static_cast<std::uint64_t>(chars);
    } else {
      std::int64_t size = ValueSize(vt);
      if (size < 0) throw FormatError("custom data value of unknown type " + std::to_string(vt));
      payload = 2;
      length = static_cast<std::uint64_t>(size);
    }
    if (value + payload + length > values_length)
      throw FormatError("custom data value runs past its segment at " + Hex(value));
    Clear(start + static_cast<std::size_t>(payload), static_cast<std::size_t>(length));
  }
  Put32(kCustomData, 0xFFFFFFFF);
  Parse();
}

}  // namespace msft
