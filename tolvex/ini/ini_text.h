#pragma once
// Text rules of INI files: how file bytes become text, how a value is written so that
// it reads back unchanged (through this engine and through the platform's profile
// functions), and which section and key names are acceptable.
#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tolvex::ini {

using common::Text;
using common::TextView;

// ---- file encodings -------------------------------------------------------------------

enum class FileEncoding {
  kUtf16Le,        // with byte order mark: the form this engine writes and edits in place
  kUtf16LeNoBom,   // recognised by its zero bytes
  kUtf16Be,
  kUtf8Bom,        // bytes that are not UTF-8 read as U+FFFD
  kUtf8,           // no mark, valid UTF-8
  kAnsi,           // no mark, not UTF-8: Windows-1252
};

struct DecodedFile {
  Text text;            // content after any byte order mark
  FileEncoding encoding;
  bool odd_tail = false;  // a UTF-16 file ended with half a character (dropped)
};

DecodedFile DecodeFile(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);
// UTF-8 bytes to text. Each sequence that is not well-formed UTF-8 (overlong, a
// surrogate, past U+10FFFF, a stray continuation byte, cut short) becomes one U+FFFD
// for its longest start that could have been well-formed; the next byte is read afresh.
Text DecodeUtf8(std::string_view bytes);
// Windows-1252 bytes to text (the five unassigned bytes map to the same code points).
Text FromWindows1252(std::string_view bytes);
// UTF-16LE bytes of text, without a byte order mark, and back (whole characters: an odd
// last byte is left out).
std::string ToUtf16Le(TextView text);
Text FromUtf16Le(std::string_view bytes);
inline constexpr std::string_view kUtf16LeBom{"\xFF\xFE", 2};

// ---- white space and names ------------------------------------------------------------

// Characters that profile readers trim around names and values: every Unicode space,
// the C0 separators, NEL, Ctrl-Z and the zero-width no-break space.
bool IsIniSpace(char16_t c);
TextView TrimIniSpace(TextView text);

// Case folding used to compare section and key names: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters; anything else compares exactly.
char16_t FoldChar(char16_t c);
Text FoldName(TextView name);
bool NamesEqual(TextView a, TextView b);

// Empty when the name is acceptable, else the reason it is not.
Text KeyNameProblem(TextView key);
Text SectionNameProblem(TextView section);

// ---- values -----------------------------------------------------------------------------

// Marks a value stored in escaped form. A noncharacter: text never holds it legitimately.
inline constexpr char16_t kEscapeMarker = u'\xFDD0';

// The text written after "key=" so that DecodeValue() gives the value back exactly and a
// profile reader (trim, then strip one pair of quotes) gives it back whenever the value
// holds no control characters. Never starts or ends with white space.
Text EncodeValue(TextView value);
// The value of a stored raw value (everything after the '=').
Text DecodeValue(TextView raw);

}  // namespace tolvex::ini
