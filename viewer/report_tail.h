#pragma once
// Reads the report file, whole or as it grows, always under the file's lock (so no change
// is under way while it reads): a whole read feeds the file in blocks, a look at a grown
// file feeds the bytes added since the last one. Within a read only complete lines are
// taken, but at the end of the file its last line is taken as it is.
//
// It reads as the INI file handler reads: the entries of the first section
// "DebuggerAReport" only (a later section of that name is another's twin, which readers
// skip), a line without '=' being a key with an empty value. Whether the lines read so
// far still hold when the file has changed since, the file's change counts tell
// (tolvex/ini/ini_file.h): its rewrite count stays as it was only while no change
// rewrote what a reader of the file's end has read.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tolvex/ini/ini_file.h"
#include "viewer/report_list.h"

namespace viewer {

class ReportTail {
 public:
  // The file's bytes from consumed() on (UTF-16LE; the byte order mark at offset 0 is
  // skipped), up to its end when `to_end`. Gives the entries of the report section among
  // the lines taken, as the INI file handler reads them: the name without the white space
  // around it, the value as stored (white space and enclosing quotes taken off).
  std::vector<ReportEntry> Feed(std::string_view bytes, bool to_end);

  // A look at the file since the last read: `added` is its bytes from consumed() on to its
  // end, `counts` the change counts its head shows now (read under one lock with them).
  // The entries added, or none when what was read before no longer holds: the file must
  // be read again whole.
  std::optional<std::vector<ReportEntry>> ReadOn(std::string_view added,
                                                 const std::optional<tolvex::ChangeCounts>& counts);

  // Bytes taken for good: where the next Feed starts in the file.
  uint64_t consumed() const { return consumed_; }

  // The change counts at the file's head as of a whole read (read under one lock of the
  // file with it); none for a file without them.
  void Note(const std::optional<tolvex::ChangeCounts>& counts) { counts_ = counts; }

 private:
  // Whether the entries read so far are still the file's when its head now shows
  // `counts`: every change since Note() added lines at the end or changed in place a line
  // that was not read as the report section's. Always true with nothing read yet; never
  // for a file without counts.
  bool Holds(const std::optional<tolvex::ChangeCounts>& counts) const;

  enum class Where { kBeforeReport, kInReport, kAfterReport };
  uint64_t consumed_ = 0;
  Where where_ = Where::kBeforeReport;
  std::optional<tolvex::ChangeCounts> counts_;
};

}  // namespace viewer
