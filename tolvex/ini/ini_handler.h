#pragma once
// The INI file handler's object model, as its automation surface exposes it:
// choose a file (Path), a section (Section) and a key (Key), then read or store the
// Value, or list the current section's key names. Platform-free: files are reached
// through IniStorageProvider (Win32 files in the DLL, memory in tests).
#include <memory>
#include <vector>

#include "common/automation_error.h"
#include "common/text.h"

namespace tolvex {

using common::Text;

class IniStorageProvider;  // ini_storage.h
class IniFile;             // the open file and its parsed image

class IniHandler {
 public:
  explicit IniHandler(IniStorageProvider& storage);
  ~IniHandler();
  IniHandler(const IniHandler&) = delete;
  IniHandler& operator=(const IniHandler&) = delete;

  void SetPath(const Text& path);
  const Text& Path() const { return path_; }
  void SetSection(const Text& section);
  const Text& Section() const { return section_; }
  // The automation shell turns a number into its text ("0", "1", ...) before calling.
  void SetKey(const Text& key);
  const Text& Key() const { return key_; }

  // The text stored under the current section and key; empty when there is none.
  // Always sees what any process stored before the call.
  Text Value();
  // Stores the text at once, creating file, section and key when missing.
  void SetValue(const Text& value);
  // The key names of the current section in file order; empty for an absent file or section.
  std::vector<Text> EnumerateCurrentSection();

  // Holds the lock of the file at `path` (set as by SetPath, and made when missing) until
  // ReleaseFile() or another path: the calls in between run under that one lock.
  void HoldFile(const Text& path);
  void ReleaseFile() noexcept;

 private:
  IniStorageProvider& storage_;
  Text path_, section_, key_;
  std::unique_ptr<IniFile> file_;  // bound to path_, opened on first use
};

}  // namespace tolvex
