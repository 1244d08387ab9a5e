// The MSFT reader and editor on widl's draft of velk10.tlb, for 32-bit or 64-bit clients
// (the file that VELK10_WIDL_TLB names): it must find the records that the build edits, change
// nothing but the targeted fields, refuse edits that would make the description
// inconsistent, and reject damaged files without reading outside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "msft_typelib.h"

namespace tlbpatch_test {
namespace {

using msft::FormatError;
using msft::Image;

std::vector<std::uint8_t> Draft() {
  std::vector<std::uint8_t> bytes;
  const char* path = std::getenv("VELK10_WIDL_TLB");
  FILE* f = path ? std::fopen(path, "rb") : nullptr;
  if (!f) return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
  std::fclose(f);
  return bytes;
}

// Offsets at which two images of the same size differ.
std::vector<std::size_t> Changed(const Image& before, const Image& after) {
  std::vector<std::size_t> out;
  EXPECT_EQ(before.bytes().size(), after.bytes().size());
  for (std::size_t i = 0; i < before.bytes().size() && i < after.bytes().size(); ++i)
    if (before.bytes()[i] != after.bytes()[i]) out.push_back(i);
  return out;
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

bool Contains(const std::vector<std::uint8_t>& bytes, const std::string& text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

class MsftImage : public testing::Test {
 protected:
  void SetUp() override {
    draft_ = Draft();
    ASSERT_FALSE(draft_.empty()) << "cannot read the draft type library";
  }
  std::vector<std::uint8_t> draft_;
};

TEST_F(MsftImage, ReadsWidlDraft) {
  Image image(draft_);
  const char* names[] = {"_clsVELK10A", "clsVELK10A", "_clsVELKDebuggerA", "clsVELKDebuggerA"};
  const int kinds[] = {4, 5, 4, 5};  // TKIND_DISPATCH, TKIND_COCLASS
  ASSERT_EQ(4u, image.types().size());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(names[i], image.types()[i].name);
    EXPECT_EQ(kinds[i], image.types()[i].typekind);
  }
  EXPECT_EQ(0x3u, image.Type("clsVELK10A").flags) << "creatable, application object";

  // The system kind (low bits of the header's flags at 0x14), SYS_WIN32 or SYS_WIN64,
  // gives the size of a v-table slot; the members follow IDispatch's seven slots.
  const int syskind = draft_[0x14] & 0xF;
  ASSERT_TRUE(syskind == 1 || syskind == 3) << syskind;
  const int slot = syskind == 3 ? 8 : 4;
  const msft::TypeInfo& debugger = image.Type("_clsVELKDebuggerA");
  const char* members[] = {"AppObj", "AppObj", "CreateDebugInfoWindow", "DestroyDebugInfoWindow",
                           "AddDebugMessage", "AddClearMessages", "ShowDebuggerOptions", "ShowDebuggerWindow"};
  ASSERT_EQ(8u, debugger.functions.size());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(members[i], debugger.functions[i].name);
    EXPECT_EQ(slot * (7 + i), debugger.functions[i].vtable_offset);
    EXPECT_EQ(1, debugger.functions[i].funckind);  // FUNC_PUREVIRTUAL
    EXPECT_EQ(4, debugger.functions[i].callconv);  // CC_STDCALL
  }
  EXPECT_EQ(2, debugger.functions[0].invkind);  // INVOKE_PROPERTYGET
  EXPECT_EQ(8, debugger.functions[1].invkind);  // INVOKE_PROPERTYPUTREF
  EXPECT_EQ(0x60030003, debugger.functions[4].memid);

  const msft::Function& add = image.Member("_clsVELKDebuggerA", "AddDebugMessage");
  EXPECT_EQ(5, add.optional_count) << "widl counts every [optional] parameter";
  ASSERT_EQ(7u, add.params.size());
  const char* params[] = {"sMessage", "sType", "sName", "iLevel", "vExtra", "vCoExtra"};
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(params[k], image.Name(add.params[k].name));
    EXPECT_EQ(k == 0 ? 0 : msft::kParamOptional, add.params[k].flags & msft::kParamOptional);
  }
  EXPECT_EQ(msft::kParamOut | msft::kParamRetval, add.params[6].flags);
  EXPECT_NE(-1, add.params[6].name) << "widl names the [retval] parameter";
  EXPECT_NE(-1, image.LibraryCustomData());
}

TEST_F(MsftImage, OptionalCountChangesOnlyThatField) {
  Image before(draft_);
  Image after(draft_);
  after.SetOptionalCount("_clsVELKDebuggerA", "AddDebugMessage", 2);
  const msft::Function& add = after.Member("_clsVELKDebuggerA", "AddDebugMessage");
  EXPECT_EQ(2, add.optional_count);
  for (const msft::Param& p : add.params) EXPECT_EQ(0, p.flags & msft::kParamHasDefault);
  EXPECT_EQ(msft::kParamOptional, add.params[1].flags & msft::kParamOptional) << "the flags stay";
  for (std::size_t at : Changed(before, after)) {
    EXPECT_GE(at, add.offset + 22);
    EXPECT_LT(at, add.offset + 24);
  }
  EXPECT_FALSE(Changed(before, after).empty());
  after.SetOptionalCount("_clsVELKDebuggerA", "AddDebugMessage", 0);
  EXPECT_EQ(0, after.Member("_clsVELKDebuggerA", "AddDebugMessage").optional_count);
}

TEST_F(MsftImage, OptionalCountMustFitTheOptionalTail) {
  Image image(draft_);
  EXPECT_THROW(image.SetOptionalCount("_clsVELKDebuggerA", "AddDebugMessage", 6), FormatError)
      << "sMessage is not optional";
  EXPECT_THROW(image.SetOptionalCount("_clsVELKDebuggerA", "AddDebugMessage", -1), FormatError);
  EXPECT_THROW(image.SetOptionalCount("_clsVELKDebuggerA", "CreateDebugInfoWindow", 1), FormatError)
      << "the [retval] parameter does not count";
  EXPECT_THROW(image.SetOptionalCount("_clsVELKDebuggerA", "AppObj", 0), FormatError) << "ambiguous";
  EXPECT_THROW(image.SetOptionalCount("_clsVELKDebuggerA", "AddDebugMessages", 2), FormatError);
  EXPECT_THROW(image.SetOptionalCount("_clsVELKDebugger", "AddDebugMessage", 2), FormatError);
  EXPECT_EQ(draft_, image.bytes()) << "a refused edit changes nothing";
}

TEST_F(MsftImage, AddTypeFlagsKeepsTheOthers) {
  Image before(draft_);
  Image after(draft_);
  after.AddTypeFlags("clsVELK10A", 0x8);
  EXPECT_EQ(0xBu, after.Type("clsVELK10A").flags);
  EXPECT_EQ(before.Type("clsVELKDebuggerA").flags, after.Type("clsVELKDebuggerA").flags);
  std::size_t record = after.Type("clsVELK10A").offset;
  for (std::size_t at : Changed(before, after)) {
    EXPECT_GE(at, record + 0x30);
    EXPECT_LT(at, record + 0x34);
  }
  EXPECT_THROW(after.AddTypeFlags("clsVELK10", 0x8), FormatError);
}

TEST_F(MsftImage, UnnameRetvalsTouchesOnlyRetvalNames) {
  Image before(draft_);
  Image after(draft_);
  EXPECT_EQ(7, after.UnnameRetvals()) << "every member but the property assignment has a [retval]";
  for (std::size_t t = 0; t < after.types().size(); ++t)
    for (std::size_t f = 0; f < after.types()[t].functions.size(); ++f)
      for (std::size_t k = 0; k < after.types()[t].functions[f].params.size(); ++k) {
        const msft::Param& was = before.types()[t].functions[f].params[k];
        const msft::Param& now = after.types()[t].functions[f].params[k];
        EXPECT_EQ((was.flags & msft::kParamRetval) ? -1 : was.name, now.name);
        EXPECT_EQ(was.flags, now.flags);
        EXPECT_EQ(was.type, now.type);
      }
  EXPECT_EQ(0, after.UnnameRetvals());
}

TEST_F(MsftImage, DropLibraryCustomDataLeavesNoBuildStamp) {
  ASSERT_TRUE(Contains(draft_, "Created by WIDL"));
  Image image(draft_);
  image.DropLibraryCustomData();
  EXPECT_EQ(-1, image.LibraryCustomData());
  EXPECT_FALSE(Contains(image.bytes(), "Created by WIDL"));
  EXPECT_EQ(draft_.size(), image.bytes().size());
  std::vector<std::uint8_t> once = image.bytes();
  image.DropLibraryCustomData();
  EXPECT_EQ(once, image.bytes());
  EXPECT_EQ(4u, image.types().size());
}

TEST_F(MsftImage, RejectsDamagedFiles) {
  std::vector<std::uint8_t> bad = draft_;
  bad[0] = 'N';
  EXPECT_THROW(Image{bad}, FormatError);

  // Cut anywhere (the last member block ends the file): a clean refusal, never a read
  // outside the buffer.
  for (std::size_t length = 0; length < draft_.size(); ++length) {
    std::vector<std::uint8_t> cut(draft_.begin(), draft_.begin() + length);
    EXPECT_THROW(Image{cut}, FormatError) << "accepted a file cut at " << length;
  }

  Image good(draft_);
  const msft::TypeInfo& debugger = good.Type("_clsVELKDebuggerA");
  const msft::Function& add = good.Member("_clsVELKDebuggerA", "AddDebugMessage");

  bad = draft_;
  Put32(bad, debugger.offset + 0x34, 0x7FFFFFF0);  // type name outside the name table
  EXPECT_THROW(Image{bad}, FormatError);
  bad = draft_;
  Put32(bad, debugger.offset + 0x04, 0xFFFFFFF0);  // member block past the end
  EXPECT_THROW(Image{bad}, FormatError);
  bad = draft_;
  Put32(bad, add.offset, 0xFFFF);  // record longer than its block
  EXPECT_THROW(Image{bad}, FormatError);
  bad = draft_;
  Put32(bad, add.offset + 20, 0x0500);  // more parameters than the record holds
  EXPECT_THROW(Image{bad}, FormatError);
  bad = draft_;
  Put32(bad, 0x20, 0x10000000);  // type info table past the end
  EXPECT_THROW(Image{bad}, FormatError);
}

TEST_F(MsftImage, RejectsLoopingCustomDataChain) {
  Image image(draft_);
  std::int32_t head = image.LibraryCustomData();
  ASSERT_GE(head, 0);
  // The chain's segment (12) from the directory that ends the fixed part.
  std::size_t directory = 0x54 + 4 * image.types().size();
  std::size_t chain = draft_[directory + 12 * 16] | draft_[directory + 12 * 16 + 1] << 8 |
                      draft_[directory + 12 * 16 + 2] << 16;
  std::vector<std::uint8_t> bad = draft_;
  Put32(bad, chain + head + 8, static_cast<std::uint32_t>(head));  // next: itself
  Image looping(bad);
  EXPECT_THROW(looping.DropLibraryCustomData(), FormatError);
}

}  // namespace
}  // namespace tlbpatch_test
