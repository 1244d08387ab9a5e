#include "viewer/registry_log.h"

#include <algorithm>
#include <unordered_map>

#include "settings/catalog.h"

namespace viewer {

std::vector<ReportEntry> RegistryLogEntries(std::vector<NamedText> report, const std::vector<NamedText>& co_extras) {
  std::erase_if(report, [](const NamedText& value) {
    return common::EqualsIgnoreAsciiCase(value.name, settings::catalog::kDebuggerAKS);
  });
  std::stable_sort(report.begin(), report.end(), [](const NamedText& a, const NamedText& b) {
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return common::AsciiUpper(a.name) < common::AsciiUpper(b.name);
  });
  std::unordered_map<Text, const Text*> co_of;
  for (const NamedText& co : co_extras) co_of.emplace(common::AsciiUpper(co.name), &co.text);
  std::vector<ReportEntry> entries;
  entries.reserve(report.size());
  for (NamedText& value : report) {
    const auto co = co_of.find(common::AsciiUpper(value.name));
    entries.push_back({std::move(value.name), std::move(value.text), co == co_of.end() ? Text() : *co->second});
  }
  return entries;
}

}  // namespace viewer
