// The value codec, name rules and file decoding of the INI engine.
#include <gtest/gtest.h>

#include "ini_test_util.h"

namespace tolvex::testing {
namespace {

using namespace ini;

// Values of every awkward kind, each of which must come back exactly.
std::vector<Text> AwkwardValues() {
  return {
      T(""), T("plain"), T(" lead"), T("trail "), T("  both  "), T("\tTab\t"), T("in\tside"),
      T("\"quoted\""), T("'single'"), T("\""), T("\"\""), T("\"open"), T("close\""),
      T("a=b=c"), T("[NotASection]"), T(";not a comment"), T("x ; y"), T("\\back\\slash\\"),
      T("line\r\nbreak"), T("\n"), T("\r"), T("cr\rlf\nmixed\r\n"), T("bell\x07" "esc\x1b" "del\x7f"),
      T("\xc2\x85nel"), T("\xe3\x80\x80ideographic space\xe3\x80\x80"), T("\xc2\xa0nbsp"),
      T("Ελληνικά"), T("中文字符"), T("emoji 😀🎉"), T("\xef\xb7\x90marker first"), T("mid\xef\xb7\x90marker"),
      T("\xef\xb7\x90"), T("\\n literal backslash-n"), T("\\x41"),
  };
}

TEST(IniValueCodec, EveryValueRoundTripsAndStaysOnOneTrimmedLine) {
  std::vector<Text> values = AwkwardValues();
  values.push_back(Text(u"nul\0inside", 10));
  values.push_back(Text(1, u'\0'));
  values.push_back(Text(u"lone \xD800 surrogate"));
  for (const Text& value : values) {
    SCOPED_TRACE(U8(value));
    Text encoded = EncodeValue(value);
    EXPECT_EQ(DecodeValue(encoded), value);
    // Padding that in-place updates add, and blanks a hand edit adds, change nothing.
    EXPECT_EQ(DecodeValue(u"  " + encoded + u"      "), value);
    EXPECT_EQ(encoded.find_first_of(Text(u"\r\n\0", 3)), Text::npos);
    if (!encoded.empty()) {
      EXPECT_FALSE(IsIniSpace(encoded.front()));
      EXPECT_FALSE(IsIniSpace(encoded.back()));
    }
  }
}

TEST(IniValueCodec, ProfileReadersSeeTheValueItselfWhenItHasNoControls) {
  // The stored forms: a profile reader trims blanks and strips one pair of quotes.
  EXPECT_EQ(EncodeValue(u"plain text"), u"plain text");
  EXPECT_EQ(EncodeValue(u" lead"), u"\" lead\"");
  EXPECT_EQ(EncodeValue(u"trail\t"), u"\"trail\t\"");
  EXPECT_EQ(EncodeValue(u"\"q\""), u"\"\"q\"\"");
  EXPECT_EQ(EncodeValue(u"'q'"), u"\"'q'\"");
  EXPECT_EQ(EncodeValue(u"\"open"), u"\"open");
  EXPECT_EQ(EncodeValue(u"a=b;c[d]"), u"a=b;c[d]");
  EXPECT_EQ(EncodeValue(u"x\u3000"), u"\"x\u3000\"");
  // Structure characters inside a value are not touched.
  EXPECT_EQ(DecodeValue(u"[S]"), u"[S]");
  EXPECT_EQ(DecodeValue(u"'hand written'"), u"hand written");
  EXPECT_EQ(DecodeValue(u"  \"  padded  \"  "), u"  padded  ");
}

TEST(IniValueCodec, ControlCharactersAndTheMarkerUseTheEscapedForm) {
  EXPECT_EQ(EncodeValue(u"a\r\nb"), u"\uFDD0a\\r\\nb");
  EXPECT_EQ(EncodeValue(Text(u"\0\\\x01", 3)), u"\uFDD0\\0\\\\\\x01");
  EXPECT_EQ(EncodeValue(u"\x85"), u"\uFDD0\\x85");
  EXPECT_EQ(EncodeValue(u"\uFDD0x"), u"\uFDD0\uFDD0x");
  // An escaped value that ends in a blank is quoted like any other.
  EXPECT_EQ(EncodeValue(u"\n "), u"\"\uFDD0\\n \"");
  // Escapes this engine never writes are kept as they stand.
  EXPECT_EQ(DecodeValue(u"\uFDD0\\q\\x4\\"), u"\\q\\x4\\");
  EXPECT_EQ(DecodeValue(u"\uFDD0\\x41\\t"), u"A\t");
}

TEST(IniNames, KeyNamesThatCannotRoundTripAreRejectedWithAReason) {
  for (const char* ok : {"0", "17", "Counter", "two words", "a]b", "ключ", "x;y", "\"q\"", "a\tb"})
    EXPECT_EQ(KeyNameProblem(T(ok)), u"") << ok;
  struct Case {
    Text key;
    const char* reason;
  } bad[] = {{u"", "empty"},          {u"a=b", "'='"},           {u"[a", "'['"},
             {u";a", "';'"},          {u" a", "white space"},    {u"a ", "white space"},
             {u"\ta", "white space"}, {u"a\u3000", "white space"}, {u"a\rb", "line break"},
             {u"a\nb", "line break"}, {Text(u"a\0b", 3), "NUL"}, {u"a\x01", "control"}};
  for (const auto& c : bad) {
    Text problem = KeyNameProblem(c.key);
    EXPECT_NE(U8(problem).find(c.reason), std::string::npos) << U8(c.key) << " -> " << U8(problem);
  }
}

TEST(IniNames, SectionNamesThatCannotRoundTripAreRejectedWithAReason) {
  for (const char* ok : {"DebuggerA", "Debugger A", "[x", "a=b", ";x", "Ελληνικά"})
    EXPECT_EQ(SectionNameProblem(T(ok)), u"") << ok;
  struct Case {
    Text section;
    const char* reason;
  } bad[] = {{u"", "empty"},           {u"a]b", "']'"},          {u"a]", "']'"},
             {u" a", "white space"},   {u"a ", "white space"},   {u"a\r", "line break"},
             {u"a\nb", "line break"},  {Text(u"a\0", 2), "NUL"}, {u"a\x1f", "control"}};
  for (const auto& c : bad) {
    Text problem = SectionNameProblem(c.section);
    EXPECT_NE(U8(problem).find(c.reason), std::string::npos) << U8(c.section) << " -> " << U8(problem);
  }
}

TEST(IniNames, NamesCompareWithoutCaseForLatinGreekAndCyrillic) {
  EXPECT_TRUE(NamesEqual(u"counter", u"COUNTER"));
  EXPECT_TRUE(NamesEqual(T("größe"), T("GRÖßE")));
  EXPECT_TRUE(NamesEqual(T("Łódź"), T("ŁÓDŹ")));
  EXPECT_TRUE(NamesEqual(T("ελληνικά"), T("ΕΛΛΗΝΙΚΆ")));
  EXPECT_TRUE(NamesEqual(T("σς"), T("ΣΣ")));
  EXPECT_TRUE(NamesEqual(T("ключ ёж"), T("КЛЮЧ ЁЖ")));
  EXPECT_FALSE(NamesEqual(u"key1", u"key2"));
  EXPECT_FALSE(NamesEqual(u"a", u"a "));
  EXPECT_FALSE(NamesEqual(T("中"), T("文")));
}

TEST(IniFileDecoding, RecognisesEveryEncodingAFileMayHave) {
  auto utf16 = [](const Text& t) { return ToUtf16Le(t); };
  struct Case {
    std::string bytes;
    FileEncoding encoding;
    Text text;
  } cases[] = {
      {std::string(kUtf16LeBom) + utf16(T("[S]\r\nk=Ελ")), FileEncoding::kUtf16Le, T("[S]\r\nk=Ελ")},
      {std::string("\xFE\xFF\x00[\x03\x95", 6), FileEncoding::kUtf16Be, T("[Ε")},
      {"\xEF\xBB\xBFk=\xC3\xA9", FileEncoding::kUtf8Bom, T("k=é")},
      {"k=\xC3\xA9\xE2\x82\xAC", FileEncoding::kUtf8, T("k=é€")},
      {"k=caf\xE9 \x80 \x9F", FileEncoding::kAnsi, T("k=café € Ÿ")},
      {"k=\xC0\xAF", FileEncoding::kAnsi, T("k=À¯")},  // overlong UTF-8 is not UTF-8
      {utf16(T("[S]\r\nk=v")), FileEncoding::kUtf16LeNoBom, T("[S]\r\nk=v")},
      {"", FileEncoding::kUtf8, T("")},
  };
  for (const auto& c : cases) {
    DecodedFile file = DecodeFile(c.bytes);
    EXPECT_EQ(file.encoding, c.encoding) << U8(c.text);
    EXPECT_EQ(file.text, c.text);
  }
  DecodedFile torn = DecodeFile(std::string(kUtf16LeBom) + utf16(u"k=v") + "x");
  EXPECT_TRUE(torn.odd_tail);
  EXPECT_EQ(torn.text, u"k=v");
}

TEST(IniFileDecoding, DamagedBytesBecomeReplacementCharactersAndKeepEveryLine) {
  const std::string bom = "\xEF\xBB\xBF";
  auto utf16 = [](std::u16string_view units, bool big_endian = false) {
    std::string out;
    for (char16_t u : units) {
      char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
      out += big_endian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
  };
  struct Case {
    std::string bytes;
    FileEncoding encoding;
    Text text;
    bool odd_tail;
  } cases[] = {
      // Overlong line feed, cut sequences, lone and surplus continuation bytes.
      {bom + "[S]\nA=1\xC0\x8A[T]\nB=2", FileEncoding::kUtf8Bom, u"[S]\nA=1\uFFFD\uFFFD[T]\nB=2", false},
      {bom + "[S]\nA=\xF0\nB", FileEncoding::kUtf8Bom, u"[S]\nA=\uFFFD\nB", false},
      {bom + "A=\xF0\x9F\x98\r\nB=\xE2\x82", FileEncoding::kUtf8Bom, u"A=\uFFFD\r\nB=\uFFFD", false},
      {bom + "A=\x80\xBF\xC3\xA9\xA9", FileEncoding::kUtf8Bom, u"A=\uFFFD\uFFFD\u00E9\uFFFD", false},
      // Overlong three- and four-byte forms, a surrogate, past U+10FFFF, bytes never used.
      {bom + "A=\xE0\x80\xAF|\xF0\x8F\xBF\xBF", FileEncoding::kUtf8Bom, u"A=\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {bom + "A=\xED\xA0\x80|\xED\x9F\xBF", FileEncoding::kUtf8Bom, u"A=\uFFFD\uFFFD\uFFFD|\uD7FF", false},
      {bom + "A=\xF4\x90\x80\x80|\xF4\x8F\xBF\xBF", FileEncoding::kUtf8Bom, u"A=\uFFFD\uFFFD\uFFFD\uFFFD|\U0010FFFF", false},
      {bom + "A=\xF5\xFF\xC1\xBF", FileEncoding::kUtf8Bom, u"A=\uFFFD\uFFFD\uFFFD\uFFFD", false},
      // Without a mark, bytes that are not UTF-8 are Windows-1252.
      {"[S]\nA=1\xC0\x8A[T]\nB=\xED\xA0\x80", FileEncoding::kAnsi, u"[S]\nA=1\u00C0\u0160[T]\nB=\u00ED\u00A0\u20AC", false},
      // UTF-16: unpaired surrogates are kept as they stand; half a last character is dropped.
      {std::string(kUtf16LeBom) + utf16(u"A=\xD800\r\n\xDC00=1\r\nB=2") + "\x0A", FileEncoding::kUtf16Le,
       u"A=\xD800\r\n\xDC00=1\r\nB=2", true},
      {"\xFE\xFF" + utf16(u"A=\xDBFF\nB=\xDFFF\xD800", true) + std::string(1, '\0'), FileEncoding::kUtf16Be,
       u"A=\xDBFF\nB=\xDFFF\xD800", true},
      {utf16(u"[S]\r\nA=1\r\nB=2") + "\x0D", FileEncoding::kUtf16LeNoBom, u"[S]\r\nA=1\r\nB=2", true},
  };
  for (const auto& c : cases) {
    DecodedFile file = DecodeFile(c.bytes);
    EXPECT_EQ(file.encoding, c.encoding) << U8(c.text);
    EXPECT_EQ(file.text, c.text) << U8(c.text) << " read as " << U8(file.text);
    EXPECT_EQ(file.odd_tail, c.odd_tail) << U8(c.text);
  }
}

}  // namespace
}  // namespace tolvex::testing
