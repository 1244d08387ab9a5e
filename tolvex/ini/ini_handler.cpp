#include "tolvex/ini/ini_handler.h"

#include "tolvex/ini/ini_file.h"
#include "tolvex/ini/ini_storage.h"

namespace tolvex {

namespace {

namespace en = common::error_number;

[[noreturn]] void Fail(int32_t number, const char16_t* description) {
  throw common::AutomationError(number, description);
}

}  // namespace

IniHandler::IniHandler(IniStorageProvider& storage) : storage_(storage) {}
IniHandler::~IniHandler() = default;

void IniHandler::SetPath(const Text& path) {
  if (file_ && path == path_) return;
  if (path.empty()) Fail(en::kBadFileName, u"Bad file name: the INI file path is empty");
  auto file = std::make_unique<IniFile>(storage_.Open(path));  // raises for an unusable path
  file_ = std::move(file);
  path_ = path;
}

void IniHandler::SetSection(const Text& section) {
  Text problem = ini::SectionNameProblem(section);
  if (!problem.empty()) throw common::AutomationError(en::kInvalidArgument, u"Invalid section name: " + problem);
  section_ = section;
}

void IniHandler::SetKey(const Text& key) {
  Text problem = ini::KeyNameProblem(key);
  if (!problem.empty()) throw common::AutomationError(en::kInvalidArgument, u"Invalid key name: " + problem);
  key_ = key;
}

Text IniHandler::Value() {
  if (!file_) Fail(en::kBadFileName, u"No INI file chosen: set Path before reading a value");
  if (section_.empty()) Fail(en::kInvalidArgument, u"No section chosen: set Section before reading a value");
  if (key_.empty()) Fail(en::kInvalidArgument, u"No key chosen: set Key before reading a value");
  return file_->Get(section_, key_);
}

void IniHandler::SetValue(const Text& value) {
  if (!file_) Fail(en::kBadFileName, u"No INI file chosen: set Path before storing a value");
  if (section_.empty()) Fail(en::kInvalidArgument, u"No section chosen: set Section before storing a value");
  if (key_.empty()) Fail(en::kInvalidArgument, u"No key chosen: set Key before storing a value");
  file_->Set(section_, key_, value);
}

std::vector<Text> IniHandler::EnumerateCurrentSection() {
  if (!file_) Fail(en::kBadFileName, u"No INI file chosen: set Path before listing keys");
  if (section_.empty()) Fail(en::kInvalidArgument, u"No section chosen: set Section before listing keys");
  return file_->Keys(section_);
}

void IniHandler::HoldFile(const Text& path) {
  SetPath(path);
  file_->Hold();
}

void IniHandler::ReleaseFile() noexcept {
  if (file_) file_->Release();
}

}  // namespace tolvex
