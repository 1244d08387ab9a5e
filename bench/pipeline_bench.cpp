// Accepted messages per second through AddDebugMessage on the real platform: the
// registry settings store, tolvex10.dll through IDispatch, the live message window
// and the named locks, with each sink alone and with all three, at 1k and 100k
// entries already in the report file (and as many in the registry log).
//
//   pipeline_bench.exe [--batch N] [--warmup N] [--rounds N] [--only NAME] [entries...]
//     default: --batch 2000 --warmup 200 --rounds 3, entries 1000 100000, every
//     configuration; --only picks one ("report", "window", "registry", "all")
//
// Each round starts from a fresh copy of a report file built up beforehand through
// the INI engine (the code inside tolvex10.dll, so the file is byte for byte what the
// sink would have written), creates a fresh module state, sends the warm-up messages,
// then times the batch. The table shows the median round. Every round is checked:
// numbering, the report file's counter, the registry log's last key and the live
// window's line must show that each message went where it should.
//
// The timed batch of every round lies between two marks that a Wine server trace
// (WINEDEBUG=+server) shows: an open of the event named
// "velk-pipeline-bench begin|end <sinks> <messages>", one request each, outside the
// timed section. bench/count_requests.sh counts the requests between them.
//
// Needs tolvex10.dll and tolvex11.dll registered and a display (bench/run_pipeline.sh).
// Clears HKCU\Software\VB and VBA Program Settings\Kestrelon: use a prefix of its own.
// Exit code 1 when a goal is missed, 2 when something went wrong.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "component/debug_message.h"
#include "component/debugger_commands.h"
#include "component/report_key.h"
#include "component/win32/platform_win32.h"
#include "outside/helper_components.h"
#include "settings/catalog.h"
#include "tolvex/ini/ini_handler.h"
#include "tolvex/ini/win32_ini_storage.h"
#include "windows/live_message_window.h"

namespace {

using common::Text;
using outside::Value;
namespace cat = settings::catalog;

constexpr double kGoalReportFile = 5000;  // messages/s at 100k entries, report file alone
constexpr double kGoalAllSinks = 1000;    // messages/s at 100k entries, all three sinks
constexpr double kGoalGrowth = 1.5;       // cost at 100k entries / cost at 1k entries

const wchar_t kKestrelon[] = L"Software\\VB and VBA Program Settings\\Kestrelon";
const wchar_t kLogKey[] = L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerAReport";
const wchar_t kLogCoKey[] = L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerAReportCo";

struct Sinks {
  const char* name;
  const wchar_t* option;
  bool shell, window, registry;
};
const Sinks kConfigurations[] = {
    {"report file", L"report", true, false, false},
    {"live window", L"window", false, true, false},
    {"registry", L"registry", false, false, true},
    {"all three", L"all", true, true, true},
};

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "pipeline_bench: %s\n", what.c_str());
  std::fflush(stderr);
  std::exit(2);
}

double Seconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }
Text Narrow(const std::wstring& text) { return Text(text.begin(), text.end()); }

// A message of about 100 characters.
Text MessageText(long n) {
  std::string text = "bench message " + std::to_string(n) +
                     ": state changed in the order module, customer 4711, total 129.95, retry 0 of 3 ";
  text.resize(100, '.');
  return common::FromAscii(text);
}

// Error reports land here instead of in a box nobody would close.
class RecordedBoxes : public component::MessageBoxes {
 public:
  int Show(common::TextView text, common::TextView title, uint32_t) override {
    if (first_.empty()) first_ = common::ToUtf8(title) + ": " + common::ToUtf8(text);
    ++count_;
    return IDOK;
  }
  int count() const { return count_; }
  const std::string& first() const { return first_; }

 private:
  int count_ = 0;
  std::string first_;
};

// One server request whose trace line names the batch (no such event exists).
void MarkBatch(const wchar_t* edge, const Sinks& sinks, long messages) {
  const std::wstring name =
      std::wstring(L"velk-pipeline-bench ") + edge + L" " + sinks.option + L" " + std::to_wstring(messages);
  if (HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str())) CloseHandle(event);
}

void PumpWindowMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void StoreSetting(HKEY key, const wchar_t* name, const std::wstring& text) {
  if (RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    Die("cannot write the registry");
}

HKEY CreateKey(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
    Die("cannot create a registry key");
  return key;
}

void SetSwitches(const Sinks& sinks) {
  HKEY key = CreateKey(L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\DebuggerA");
  StoreSetting(key, L"DebuggerShell", sinks.shell ? L"1" : L"0");
  StoreSetting(key, L"DebuggerWindow", sinks.window ? L"1" : L"0");
  StoreSetting(key, L"DebuggerRegistry", sinks.registry ? L"1" : L"0");
  StoreSetting(key, L"DebuggerAEnabledLevel", L"1");
  StoreSetting(key, L"DebuggerAEnabledDLL", L"1");
  RegCloseKey(key);
}

// A line the way the core composes it.
Text SampleLine(long n, const Text& date) {
  return common::IntegerText(n + 1) + u". (dll)  > APPOBJNOTHING > bench > " + MessageText(n) + u" > - > " + date;
}

// The report file with `entries` entries, written by the engine of tolvex10.dll in the
// sink's own order of calls.
void BuildReportFile(const std::wstring& path, long entries, const Text& date) {
  DeleteFileW(path.c_str());
  tolvex::IniHandler ini(tolvex::Win32IniStorageProvider::Instance());
  ini.SetPath(Narrow(path));
  for (long n = 0; n < entries; ++n) {
    ini.SetSection(cat::kSectionDebuggerA);
    ini.SetKey(u"Counter");
    ini.Value();
    ini.SetSection(cat::kSectionReport);
    ini.SetKey(common::IntegerText(n));
    ini.SetValue(SampleLine(n, date));
    ini.SetSection(cat::kSectionDebuggerA);
    ini.SetKey(u"Counter");
    ini.SetValue(common::IntegerText(n + 1));
  }
}

// The registry log with `entries` entries and co-extras; returns its last key.
Text FillRegistryLog(long entries, const Text& date) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kLogKey);
  RegDeleteTreeW(HKEY_CURRENT_USER, kLogCoKey);
  HKEY log = CreateKey(kLogKey), co = CreateKey(kLogCoKey);
  Text key = cat::kFirstReportKeyBase;
  for (long n = 0; n < entries; ++n) {
    key = component::NextReportKey(key);
    StoreSetting(log, Wide(key).c_str(), Wide(SampleLine(n, date)));
    StoreSetting(co, Wide(key).c_str(), L"co " + std::to_wstring(n));
  }
  if (entries) StoreSetting(log, Wide(Text(cat::kDebuggerAKS)).c_str(), Wide(key));
  RegCloseKey(log);
  RegCloseKey(co);
  return entries ? key : Text(cat::kFirstReportKeyBase);
}

Text ReadLastLogKey() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kLogKey, 0, KEY_QUERY_VALUE, &key)) return u"<none>";
  wchar_t buffer[64] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  LONG status = RegQueryValueExW(key, L"DebuggerAKS", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
  RegCloseKey(key);
  return status ? Text(u"<none>") : Narrow(buffer);
}

class Bench {
 public:
  Bench(long batch, long warmup, int rounds) : batch_(batch), warmup_(warmup), rounds_(rounds) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"velk-pipeline-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    SetEnvironmentVariableW(L"QVSUPPORT", folder_.c_str());
    date_ = win_.format.TextOf(Value(win_.clock.Now()));
  }
  ~Bench() {
    DeleteFileW(ReportPath().c_str());
    DeleteFileW(TemplatePath().c_str());
    RemoveDirectoryW(folder_.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
  }

  // Seconds per message (median round) for one configuration.
  double Measure(const Sinks& sinks, long entries) {
    std::vector<double> costs;
    for (int r = 0; r < rounds_; ++r) costs.push_back(OneRound(sinks, entries));
    std::sort(costs.begin(), costs.end());
    return costs[costs.size() / 2];
  }

  void Prepare(long entries, bool registry_log) {
    double start = Seconds();
    BuildReportFile(TemplatePath(), entries, date_);
    double file = Seconds() - start;
    start = Seconds();
    log_key_ = registry_log ? FillRegistryLog(entries, date_) : Text(cat::kFirstReportKeyBase);
    std::printf("  (%ld entries: report file built in %.1f s, registry log in %.1f s)\n", entries, file,
                Seconds() - start);
    std::fflush(stdout);
  }

 private:
  std::wstring ReportPath() const { return folder_ + L"\\velkbug.ini"; }
  std::wstring TemplatePath() const { return folder_ + L"\\template.ini"; }

  double OneRound(const Sinks& sinks, long entries) {
    if (!CopyFileW(TemplatePath().c_str(), ReportPath().c_str(), FALSE)) Die("cannot copy the report file");
    SetSwitches(sinks);
    RecordedBoxes boxes;
    component::Platform platform{win_.settings, win_.objects, win_.format, boxes,
                                 win_.clock,    win_.locks,   win_.windows, win_.files};
    auto state = std::make_unique<component::ModuleState>();
    // The creation steps without CreateDebugInfoWindow: the report viewer is no part
    // of a message's path.
    component::CreateHelperObjects(*state, platform);
    component::LoadDebuggerConfig(*state, platform);
    if (Wide(state->report_file_path) != ReportPath()) Die("the report path does not follow QVSUPPORT");
    // The registry log keeps growing across rounds; log_key_ is where it was left.
    Text stored_key = ReadLastLogKey();
    const Text first_key = stored_key == u"<none>" ? Text(cat::kFirstReportKeyBase) : stored_key;
    if (sinks.registry && first_key != log_key_) Die("the registry log is not where it was left");

    long sent = 0;
    auto send = [&](long count) {
      for (long i = 0; i < count; ++i, ++sent) {
        Value extra, co_extra(Text(u"co ") + common::IntegerText(sent));
        component::DebugMessage m{MessageText(sent), u"dll", u"bench", 1, &extra, &co_extra};
        component::AddDebugMessage(*state, platform, m);
      }
    };
    send(warmup_);
    PumpWindowMessages();
    MarkBatch(L"begin", sinks, batch_);
    double start = Seconds();
    send(batch_);
    double elapsed = Seconds() - start;
    MarkBatch(L"end", sinks, batch_);
    PumpWindowMessages();

    // Every message went everywhere it should.
    if (boxes.count()) Die(std::to_string(boxes.count()) + " error report(s), the first: " + boxes.first());
    if (state->message_counter != sent) Die("not every message was accepted");
    if (sinks.shell) {
      outside::IniFileHandler ini(state->ini_handler);
      ini.SetPath(state->report_file_path);
      ini.SetSection(cat::kSectionDebuggerA);
      ini.SetKey(Value(Text(u"Counter")));
      Text counter = win_.format.TextOf(ini.GetValue());
      if (counter != common::IntegerText(entries + sent))
        Die("the report file's counter is " + common::ToUtf8(counter));
    }
    if (sinks.registry) {
      Text expected = first_key;
      for (long i = 0; i < sent; ++i) expected = component::NextReportKey(expected);
      if (ReadLastLogKey() != expected) Die("the registry log's last key is " + common::ToUtf8(ReadLastLogKey()));
      log_key_ = expected;
    }
    if (sinks.window) {
      auto* live = dynamic_cast<windows::LiveMessageWindowWin32*>(state->live_window.get());
      if (!live || !IsWindowVisible(live->window())) Die("the live window is not shown");
      wchar_t text[512] = {};
      GetWindowTextW(live->text_box(), text, 512);
      if (std::wstring(text).rfind(std::to_wstring(sent) + L". (dll)", 0) != 0) Die("the live window is behind");
    }
    state.reset();
    PumpWindowMessages();
    return elapsed / batch_;
  }

  component::Win32Platform win_;
  long batch_, warmup_;
  int rounds_;
  std::wstring folder_;
  Text date_;
  Text log_key_;  // the registry log's last key
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  long batch = 2000, warmup = 200;
  int rounds = 3;
  std::vector<long> sizes;
  std::vector<const Sinks*> configurations;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    auto next = [&] {
      if (i + 1 >= argc) Die("a value must follow an option");
      return std::wstring(argv[++i]);
    };
    if (arg == L"--batch") batch = std::wcstol(next().c_str(), nullptr, 10);
    else if (arg == L"--warmup") warmup = std::wcstol(next().c_str(), nullptr, 10);
    else if (arg == L"--rounds") rounds = static_cast<int>(std::wcstol(next().c_str(), nullptr, 10));
    else if (arg == L"--only") {
      std::wstring name = next();
      auto it = std::find_if(std::begin(kConfigurations), std::end(kConfigurations),
                             [&](const Sinks& c) { return name == c.option; });
      if (it == std::end(kConfigurations)) Die("--only takes report, window, registry or all");
      configurations.push_back(&*it);
    } else {
      wchar_t* end = nullptr;
      long size = std::wcstol(arg.c_str(), &end, 10);
      if (*end || size < 0) Die("not a number of entries");
      sizes.push_back(size);
    }
  }
  if (sizes.empty()) sizes = {1000, 100000};
  if (configurations.empty())
    for (const Sinks& c : kConfigurations) configurations.push_back(&c);
  if (batch < 1 || warmup < 0 || rounds < 1) Die("bad arguments");

  if (FAILED(CoInitialize(nullptr))) Die("CoInitialize failed");
  int status = 0;
  {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
    Bench bench(batch, warmup, rounds);
    std::printf("messages of ~100 characters; %ld timed after %ld warm-up; median of %d rounds\n", batch, warmup,
                rounds);
    std::fflush(stdout);
    // cost[configuration][size], seconds per message
    std::vector<std::vector<double>> cost(configurations.size(), std::vector<double>(sizes.size()));
    for (size_t s = 0; s < sizes.size(); ++s) {
      bool registry = std::any_of(configurations.begin(), configurations.end(), [](auto c) { return c->registry; });
      bench.Prepare(sizes[s], registry);
      for (size_t c = 0; c < configurations.size(); ++c) {
        cost[c][s] = bench.Measure(*configurations[c], sizes[s]);
        std::printf("  %-12s %7ld entries: %8.0f messages/s\n", configurations[c]->name, sizes[s], 1 / cost[c][s]);
        std::fflush(stdout);
      }
    }

    std::printf("\n%-12s %8s %12s %11s %10s\n", "sinks", "entries", "messages/s", "us/message", "vs first");
    bool grew = false;
    for (size_t c = 0; c < configurations.size(); ++c) {
      for (size_t s = 0; s < sizes.size(); ++s) {
        double ratio = cost[c][s] / cost[c][0];
        std::printf("%-12s %8ld %12.0f %11.1f %9.2fx\n", configurations[c]->name, sizes[s], 1 / cost[c][s],
                    cost[c][s] * 1e6, ratio);
        // The live window alone touches no entries: its cost is a time share of the text
        // box updates (one per update interval), so its ratio is noise, not growth.
        const bool touches_entries = configurations[c]->shell || configurations[c]->registry;
        if (touches_entries && ratio > kGoalGrowth) grew = true;
      }
    }
    // The goals, at the largest size.
    const size_t last = sizes.size() - 1;
    std::printf("\ngoals at %ld entries:", sizes[last]);
    bool missed = false;
    for (size_t c = 0; c < configurations.size(); ++c) {
      double goal = configurations[c]->option == kConfigurations[0].option   ? kGoalReportFile
                    : configurations[c]->option == kConfigurations[3].option ? kGoalAllSinks
                                                                             : 0;
      if (goal == 0) continue;
      double rate = 1 / cost[c][last];
      std::printf(" %s %.0f/s (>= %.0f) %s;", configurations[c]->name, rate, goal, rate >= goal ? "met" : "MISSED");
      missed |= rate < goal;
    }
    std::printf(" cost growth <= %.1fx (sinks that touch entries) %s\n", kGoalGrowth, grew ? "MISSED" : "met");
    if (missed || grew) status = 1;
  }
  CoUninitialize();
  return status;
}
