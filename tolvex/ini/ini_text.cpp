#include "tolvex/ini/ini_text.h"

#include <algorithm>
#include <cstdint>

namespace tolvex::ini {

namespace {

bool LooksLikeUtf16LeWithoutMark(std::string_view bytes) {
  // Plain 8-bit text never holds zero bytes; UTF-16LE of Latin text has one in every
  // odd position. A torn last character (an odd length) does not make it 8-bit text.
  if (bytes.size() < 2) return false;
  size_t pairs = std::min<size_t>(bytes.size(), 1024) / 2, zeros = 0;
  for (size_t i = 0; i < pairs; ++i)
    if (bytes[2 * i + 1] == 0 && bytes[2 * i] != 0) ++zeros;
  return zeros * 2 >= pairs;
}

// One step through UTF-8: a well-formed sequence (ok) with its code point, or the
// longest start of one that could still have become well-formed (at least one byte),
// which stands for one U+FFFD. Line breaks and other ASCII bytes are never part of a
// multi-byte sequence, so a bad sequence never swallows one and never makes one.
struct Utf8Step {
  size_t length;
  uint32_t cp;
  bool ok;
};

Utf8Step NextUtf8(std::string_view s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return {1, c, true};
  size_t len;
  uint32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, cp = c & 0x0F;
    if (c == 0xE0) lo = 0xA0;  // below: overlong
    if (c == 0xED) hi = 0x9F;  // above: surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, cp = c & 0x07;
    if (c == 0xF0) lo = 0x90;  // below: overlong
    if (c == 0xF4) hi = 0x8F;  // above: past U+10FFFF
  } else {
    return {1, 0xFFFD, false};  // a continuation byte, an overlong lead or no lead at all
  }
  for (size_t k = 1; k < len; ++k) {
    if (i + k >= s.size()) return {k, 0xFFFD, false};
    auto cc = static_cast<unsigned char>(s[i + k]);
    if (cc < (k == 1 ? lo : 0x80) || cc > (k == 1 ? hi : 0xBF)) return {k, 0xFFFD, false};
    cp = (cp << 6) | (cc & 0x3F);
  }
  return {len, cp, true};
}

Text FromUtf16(std::string_view bytes, bool big_endian) {
  Text out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    auto lo = static_cast<unsigned char>(bytes[2 * i + (big_endian ? 1 : 0)]);
    auto hi = static_cast<unsigned char>(bytes[2 * i + (big_endian ? 0 : 1)]);
    out[i] = static_cast<char16_t>(lo | (hi << 8));
  }
  return out;
}

// Control characters (Unicode category Cc) other than tab.
bool NeedsEscape(char16_t c) { return (c < 0x20 && c != u'\t') || (c >= 0x7F && c <= 0x9F); }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

Text Escape(TextView value) {
  static const char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(value.size() + 8);
  for (char16_t c : value) {
    if (c == u'\\') {
      out += u"\\\\";
    } else if (c == u'\r') {
      out += u"\\r";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == 0) {
      out += u"\\0";
    } else if (NeedsEscape(c)) {
      out += u"\\x";
      out.push_back(static_cast<char16_t>(kHex[c >> 4]));
      out.push_back(static_cast<char16_t>(kHex[c & 0xF]));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

Text Unescape(TextView body) {
  Text out;
  out.reserve(body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    char16_t c = body[i];
    if (c != u'\\' || i + 1 >= body.size()) {
      out.push_back(c);
      continue;
    }
    char16_t n = body[i + 1];
    switch (n) {
      case u'\\': out.push_back(u'\\'); ++i; continue;
      case u'r': out.push_back(u'\r'); ++i; continue;
      case u'n': out.push_back(u'\n'); ++i; continue;
      case u't': out.push_back(u'\t'); ++i; continue;
      case u'0': out.push_back(u'\0'); ++i; continue;
      case u'x':
        if (i + 3 < body.size() && HexDigit(body[i + 2]) >= 0 && HexDigit(body[i + 3]) >= 0) {
          out.push_back(static_cast<char16_t>(HexDigit(body[i + 2]) * 16 + HexDigit(body[i + 3])));
          i += 3;
          continue;
        }
        break;
      default:
        break;
    }
    out.push_back(c);  // not an escape this engine writes: keep it as it stands
  }
  return out;
}

bool IsQuote(char16_t c) { return c == u'"' || c == u'\''; }

// Profile readers strip one pair of matching quotes around a trimmed value.
bool HasEnclosingQuotes(TextView t) { return t.size() >= 2 && IsQuote(t.front()) && t.back() == t.front(); }

Text NameControlProblem(TextView name, const char* what) {
  for (char16_t c : name) {
    if (c == u'\r' || c == u'\n')
      return common::FromAscii(std::string(what) + " name cannot contain a line break");
    if (c == 0) return common::FromAscii(std::string(what) + " name cannot contain a NUL character");
    if (NeedsEscape(c)) return common::FromAscii(std::string(what) + " name cannot contain control characters");
  }
  if (IsIniSpace(name.front()) || IsIniSpace(name.back()))
    return common::FromAscii(std::string(what) + " name cannot start or end with white space");
  return {};
}

}  // namespace

// ---- file encodings -------------------------------------------------------------------

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    Utf8Step step = NextUtf8(s, i);
    if (!step.ok) return false;
    i += step.length;
  }
  return true;
}

Text DecodeUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    Utf8Step step = NextUtf8(s, i);
    i += step.length;
    if (step.cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((step.cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((step.cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(step.cp));
    }
  }
  return out;
}

Text FromWindows1252(std::string_view bytes) {
  static const char16_t k80[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  Text out;
  out.reserve(bytes.size());
  for (char b : bytes) {
    auto c = static_cast<unsigned char>(b);
    out.push_back(c >= 0x80 && c < 0xA0 ? k80[c - 0x80] : static_cast<char16_t>(c));
  }
  return out;
}

DecodedFile DecodeFile(std::string_view bytes) {
  auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts(kUtf16LeBom)) {
    auto body = bytes.substr(2);
    return {FromUtf16(body, false), FileEncoding::kUtf16Le, body.size() % 2 != 0};
  }
  if (starts(std::string_view("\xFE\xFF", 2))) {
    auto body = bytes.substr(2);
    return {FromUtf16(body, true), FileEncoding::kUtf16Be, body.size() % 2 != 0};
  }
  // A marked file is read as UTF-8 even where its bytes are not: the mark says what its
  // writer meant, so a bad byte is damage (U+FFFD), and reading the whole file as
  // Windows-1252 instead would garble every good character in it.
  if (starts("\xEF\xBB\xBF")) return {DecodeUtf8(bytes.substr(3)), FileEncoding::kUtf8Bom};
  if (LooksLikeUtf16LeWithoutMark(bytes))
    return {FromUtf16(bytes, false), FileEncoding::kUtf16LeNoBom, bytes.size() % 2 != 0};
  if (IsValidUtf8(bytes)) return {DecodeUtf8(bytes), FileEncoding::kUtf8};
  return {FromWindows1252(bytes), FileEncoding::kAnsi};
}

Text FromUtf16Le(std::string_view bytes) { return FromUtf16(bytes, /*big_endian=*/false); }

std::string ToUtf16Le(TextView text) {
  std::string out(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<char>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return out;
}

// ---- white space and names ------------------------------------------------------------

bool IsIniSpace(char16_t c) {
  if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D) || (c >= 0x1A && c <= 0x1F);
  switch (c) {
    case 0x85: case 0xA0: case 0x1680: case 0x180E: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000: case 0xFEFF:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200B;
  }
}

TextView TrimIniSpace(TextView t) {
  size_t b = 0, e = t.size();
  while (b < e && IsIniSpace(t[b])) ++b;
  while (e > b && IsIniSpace(t[e - 1])) --e;
  return t.substr(b, e - b);
}

char16_t FoldChar(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c == 0xFF ? char16_t{0x178} : c;
  }
  if (c < 0x180) {  // Latin Extended-A: pairs of capital and small letters
    bool odd = c & 1;
    if ((c <= 0x12F || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && odd)
      return static_cast<char16_t>(c - 1);
    if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && !odd) return static_cast<char16_t>(c - 1);
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
  switch (c) {
    case 0x3C2: return 0x3A3;
    case 0x3AC: return 0x386;
    case 0x3AD: case 0x3AE: case 0x3AF: return static_cast<char16_t>(c - 37);
    case 0x3CC: return 0x38C;
    case 0x3CD: case 0x3CE: return static_cast<char16_t>(c - 63);
    default: break;
  }
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  return c;
}

Text FoldName(TextView name) {
  Text out(name);
  for (auto& c : out) c = FoldChar(c);
  return out;
}

bool NamesEqual(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

Text KeyNameProblem(TextView key) {
  if (key.empty()) return u"A key name cannot be empty";
  if (key.find(u'=') != TextView::npos) return u"A key name cannot contain '='";
  if (key.front() == u'[') return u"A key name cannot start with '['";
  if (key.front() == u';') return u"A key name cannot start with ';'";
  return NameControlProblem(key, "A key");
}

Text SectionNameProblem(TextView section) {
  if (section.empty()) return u"A section name cannot be empty";
  if (section.find(u']') != TextView::npos) return u"A section name cannot contain ']'";
  return NameControlProblem(section, "A section");
}

// ---- values -----------------------------------------------------------------------------

Text EncodeValue(TextView value) {
  bool escape = !value.empty() && value.front() == kEscapeMarker;
  for (char16_t c : value) escape = escape || NeedsEscape(c);
  Text body;
  if (escape) {
    body.push_back(kEscapeMarker);
    body += Escape(value);
  } else {
    body.assign(value);
  }
  if (!body.empty() && (IsIniSpace(body.front()) || IsIniSpace(body.back()) || HasEnclosingQuotes(body)))
    return u'"' + body + u'"';
  return body;
}

Text DecodeValue(TextView raw) {
  TextView t = TrimIniSpace(raw);
  if (HasEnclosingQuotes(t)) t = t.substr(1, t.size() - 2);
  if (!t.empty() && t.front() == kEscapeMarker) return Unescape(t.substr(1));
  return Text(t);
}

}  // namespace tolvex::ini
