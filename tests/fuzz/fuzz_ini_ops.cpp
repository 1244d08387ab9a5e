// Sequences of handler calls by two programs on one file of the memory disk, mixed with
// changes by a program that does not use the engine and with process kills, checked
// against a model of what the file holds:
//  - after a completed change the file holds exactly the model;
//  - a change cut short by a kill leaves the old state or the new one, nothing else (a
//    kill tears any write but a whole one, ini_storage.h, which lands whole or not at all);
//  - reads and key lists of either program follow the model.
//
// Input: a run of operations, each an operation byte followed by its arguments.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "tolvex/ini/ini_document.h"
#include "tolvex/ini/ini_handler.h"
#include "tests/support/memory_ini_storage.h"

namespace {

using namespace tolvex;
using fuzz::FuzzInput;
using common::TextView;

constexpr char16_t kPath[] = u"fuzz.ini";
// Names that pair up by case: ASCII, Latin-1 against Latin Extended-A, Greek, Cyrillic.
const Text kSections[] = {u"S", u"s", u"Report", u"REPORT", u"Ключ", u"кЛЮЧ"};
const Text kKeys[] = {u"k", u"K", u"Counter", u"1", u"22", u"Δ", u"δ", u"\u00FF", u"\u0178"};

template <size_t N>
const Text& Pick(const Text (&names)[N], FuzzInput& in) { return names[in.Byte() % N]; }

// Folded section name -> keys in file order, spelled as first stored, with their values.
// A section without keys is absent: readers cannot tell the two apart.
using Model = std::map<Text, std::vector<std::pair<Text, Text>>>;

// Key names compare without case: which spelling of a name the file keeps is not fixed
// (a program of another kind may have stored it spelled otherwise).
bool Same(const Model& a, const Model& b) {
  if (a.size() != b.size()) return false;
  for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
    if (x->first != y->first || x->second.size() != y->second.size()) return false;
    for (size_t i = 0; i < x->second.size(); ++i)
      if (!ini::NamesEqual(x->second[i].first, y->second[i].first) || x->second[i].second != y->second[i].second)
        return false;
  }
  return true;
}

void Store(Model& model, TextView section, TextView key, TextView value) {
  auto& keys = model[ini::FoldName(section)];
  for (auto& [name, stored] : keys)
    if (ini::NamesEqual(name, key)) {
      stored = value;
      return;
    }
  keys.emplace_back(key, value);
}

Text Lookup(const Model& model, TextView section, TextView key) {
  auto it = model.find(ini::FoldName(section));
  if (it == model.end()) return {};
  for (const auto& [name, value] : it->second)
    if (ini::NamesEqual(name, key)) return value;
  return {};
}

// What any reader finds in the file, straight from its bytes.
Model Found(const MemoryIniDisk& disk) {
  Model model;
  auto bytes = disk.Bytes(kPath);
  if (!bytes) return model;
  ini::IniDocument doc;
  doc.Assign(ini::DecodeFile(*bytes).text);
  for (const auto& block : doc.blocks()) {
    if (block.header == ini::kNone || block.shadowed || block.keys.empty()) continue;
    auto& keys = model[ini::FoldName(block.name)];
    for (const auto& key : block.keys) keys.emplace_back(key.name, doc.ValueOf(key));
  }
  return model;
}

void Dump(const char* title, const Model& model) {
  std::fprintf(stderr, "%s:\n", title);
  for (const auto& [section, keys] : model) {
    std::fprintf(stderr, "  [%s]\n", common::ToUtf8(section).c_str());
    for (const auto& [name, value] : keys)
      std::fprintf(stderr, "  %s=%s\n", common::ToUtf8(name).c_str(), common::ToUtf8(ini::EncodeValue(value)).c_str());
  }
}

void CheckFile(const MemoryIniDisk& disk, const Model& model) {
  Model found = Found(disk);
  if (Same(found, model)) return;
  Dump("expected", model);
  Dump("found in the file", found);
  std::fprintf(stderr, "the file's lines:\n");
  ini::IniDocument doc;
  doc.Assign(ini::DecodeFile(disk.Bytes(kPath).value_or("")).text);
  for (size_t i = 0; i < doc.lines().size(); ++i)
    std::fprintf(stderr, "  |%s|\n", common::ToUtf8(doc.Content(i)).c_str());
  FUZZ_CHECK(Same(found, model));
}

bool HasSurrogate(TextView text) {
  for (char16_t c : text)
    if (c >= 0xD800 && c <= 0xDFFF) return true;
  return false;
}

// A file as another program writes it: UTF-16LE or UTF-8 with their marks, CRLF or LF,
// the last line ended or not. UTF-8 only for text without surrogates, which it cannot carry.
std::string ForeignFile(const Model& model, uint8_t form) {
  TextView br = form & 1 ? u"\n" : u"\r\n";
  Text text;
  for (const auto& [section, keys] : model) {
    text.append(u"[").append(section).append(u"]").append(br);
    for (const auto& [name, value] : keys) text.append(name).append(u"=").append(ini::EncodeValue(value)).append(br);
  }
  if (form & 2 && !text.empty()) text.resize(text.size() - br.size());
  if (form & 4 && !HasSurrogate(text)) return "\xEF\xBB\xBF" + common::ToUtf8(text);
  return std::string(ini::kUtf16LeBom) + ini::ToUtf16Le(text);
}

class Program {
 public:
  explicit Program(MemoryIniDisk& disk) : provider_(disk) { Start(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  // A killed program starts again with nothing cached.
  void Start() {
    handler_ = std::make_unique<IniHandler>(provider_);
    handler_->SetPath(kPath);
  }
  IniHandler& Select(const Text& section, const Text& key) {
    handler_->SetSection(section);
    handler_->SetKey(key);
    return *handler_;
  }

 private:
  MemoryIniStorageProvider provider_;
  std::unique_ptr<IniHandler> handler_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  MemoryIniDisk disk;
  Program first(disk), second(disk);
  Program* programs[2] = {&first, &second};
  Model model;

  while (!in.empty()) {
    const uint8_t op = in.Byte();
    Program& program = *programs[(op >> 3) & 1];
    switch (op & 7) {
      case 0:
      case 1: {  // store a value
        const Text& section = Pick(kSections, in);
        const Text& key = Pick(kKeys, in);
        Text value = in.Chars(in.Byte() % 32);
        program.Select(section, key).SetValue(value);
        Store(model, section, key, value);
        CheckFile(disk, model);
        break;
      }
      case 2: {  // read a value
        const Text& section = Pick(kSections, in);
        const Text& key = Pick(kKeys, in);
        FUZZ_CHECK(program.Select(section, key).Value() == Lookup(model, section, key));
        break;
      }
      case 3: {  // list a section's keys: the model's names, spelled as a fresh reader finds them
        const Text& section = Pick(kSections, in);
        std::vector<Text> expected;
        Model found = Found(disk);
        auto it = found.find(ini::FoldName(section));
        if (it != found.end())
          for (const auto& entry : it->second) expected.push_back(entry.first);
        FUZZ_CHECK(program.Select(section, kKeys[0]).EnumerateCurrentSection() == expected);
        CheckFile(disk, model);
        break;
      }
      case 4: {  // another program rewrites the file
        const uint8_t form = in.Byte();
        if (form & 16) {  // with any bytes: from now on the model is what readers find there
          std::string bytes;
          for (size_t n = in.Byte() * 4; n > 0 && !in.empty(); --n) bytes.push_back(static_cast<char>(in.Byte()));
          disk.Put(kPath, bytes);
          model = Found(disk);
          break;
        }
        if (form & 8) Store(model, Pick(kSections, in), Pick(kKeys, in), in.Chars(in.Byte() % 32));
        disk.Put(kPath, ForeignFile(model, form));
        break;
      }
      case 5:  // another program deletes the file
        disk.Remove(kPath);
        model.clear();
        break;
      case 6: {  // the program is killed after a number of bytes of a change
        const Text& section = Pick(kSections, in);
        const Text& key = Pick(kKeys, in);
        Text value = in.Chars(in.Byte() % 32);
        uint64_t budget = in.Byte() | (in.Byte() % 4) << 8;
        Model changed = model;
        Store(changed, section, key, value);
        IniHandler& handler = program.Select(section, key);
        disk.kill_budget = budget;
        bool killed = false;
        try {
          handler.SetValue(value);
        } catch (const SimulatedKill&) {
          killed = true;
        }
        disk.kill_budget.reset();
        if (killed) {
          program.Start();
          if (Same(Found(disk), changed)) model = std::move(changed);
          else CheckFile(disk, model);  // else nothing may have changed
        } else {
          model = std::move(changed);
          CheckFile(disk, model);
        }
        break;
      }
      case 7:  // the program starts again
        program.Start();
        break;
    }
  }
  return 0;
}
