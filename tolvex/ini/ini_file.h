#pragma once
// One INI file kept open: its storage, the parsed image of its content and the stamp
// that image belongs to. Every call first checks the stamp (cheap) and parses the file
// again only when someone changed it.
//
// The change counts: a file this engine wrote starts with the comment line
// ";changes=<16 digits> rewrites=<16 digits>". Every change adds one to the first count
// before it touches anything else, so whoever finds the count as it left it knows that no
// one has changed the file since: also a program on another machine, also within one tick
// of the file's clock (an in-place change keeps the file's size, and its write time may
// stay too). A torn count still reads as a different number. The second count goes up
// with every change that rewrites bytes a reader of the file's end may have read: every
// rebuild, and every value changed in place in the file's last section. Whoever read the
// file up to some point and finds that count as it was knows that the last section's
// lines read so far still hold, and that the changes since only added lines or changed
// earlier sections in place (the report viewer follows a growing report file so). A file
// without the line (or with an older one) gets it at its first change, a rebuild.
//
// How a value is stored, always under the storage lock and crash-safe. A small write
// lands whole or not at all (IsWholeWrite in ini_storage.h); a longer one may be torn.
//  - an unchanged value: nothing is written;
//  - a key whose line has room for the new value after its '=' (a field: the value and
//    blanks, which every reader trims): the new value and blanks over the rest of the old
//    one, in one whole write;
//  - a new key in the file's last section, or a new section: the lines are appended with
//    ';' in place of their first character, then one whole write of that character turns
//    each on (a torn append leaves at most a comment);
//  - anything else (a file that is new, not UTF-16LE or without the count line, a value
//    that outgrew its line or is too long for one whole write, a new key in an earlier
//    section): the whole file is rebuilt and replaced at once. The
//    rebuilt file gives the changed key, and every counter (a number of digits) that has
//    none, a field with room to grow, and moves a section that gains a key to the end, so
//    that later keys are appends: keeping the section where it is would make every later
//    key of it a rebuild of the whole file.
#include <memory>
#include <optional>
#include <vector>

#include "tolvex/ini/ini_document.h"
#include "tolvex/ini/ini_storage.h"

namespace tolvex {

using common::Text;
using common::TextView;

struct ChangeCounts {
  uint64_t changes = 0;
  uint64_t rewrites = 0;
  bool operator==(const ChangeCounts&) const = default;
};

// How many first bytes of a file hold its change counts, and the counts they show; none
// for a file without them (not written by this engine, or by an older form of it).
inline constexpr size_t kChangeCountsHeadBytes = 2 + 2 * 53;
std::optional<ChangeCounts> ChangeCountsOfHead(std::string_view head);

class IniFile {
 public:
  explicit IniFile(std::unique_ptr<IniStorage> storage);
  ~IniFile();

  // Empty when the file, section or key is absent.
  Text Get(TextView section, TextView key);
  void Set(TextView section, TextView key, TextView value);
  // Key names of the section in file order; empty when the file or section is absent.
  std::vector<Text> Keys(TextView section);

  // Takes the file's lock (making the file when it is missing), together with the report
  // counter's (IniStorage::Scope), and keeps it until Release(): the calls in between run
  // under that one lock, and no other writer changes the file meanwhile. Holding twice is
  // holding once.
  void Hold();
  void Release() noexcept;

 private:
  struct Edit;
  class Locked;
  void Refresh(bool locked);
  bool Fresh();
  void Load();
  void Unlocked() noexcept;  // gives the lock back
  void BumpChanges(bool rewrite);
  void Rewrite(const Edit& edit);
  void AppendLines(const Text* header, TextView key_line);
  void WriteChars(size_t pos, TextView chars);
  void WriteToggle(size_t pos, char16_t c);

  std::unique_ptr<IniStorage> storage_;
  ini::IniDocument doc_;
  IniStamp stamp_;
  std::optional<ChangeCounts> counts_;  // the counts of the loaded image; none without the line
  bool loaded_ = false;
  bool native_ = false;  // UTF-16LE with mark: changes can go in place
  bool held_ = false;    // locked by Hold()
  bool wrote_ = false;   // changed under the current lock
};

}  // namespace tolvex
