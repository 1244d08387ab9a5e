#pragma once
// Where the system keeps its settings and its registry message log.
namespace settings::catalog {

inline constexpr char16_t kSettingsApp[] = u"Kestrelon\\Debugger";
inline constexpr char16_t kMakerApp[] = u"Kestrelon";

inline constexpr char16_t kSectionDebuggerA[] = u"DebuggerA";
inline constexpr char16_t kSectionReport[] = u"DebuggerAReport";
inline constexpr char16_t kSectionReportCo[] = u"DebuggerAReportCo";
inline constexpr char16_t kSectionMarivale[] = u"Marivale";

inline constexpr char16_t kDebuggerAEnabled[] = u"DebuggerAEnabled";
inline constexpr char16_t kDebuggerAEnabledDLL[] = u"DebuggerAEnabledDLL";
inline constexpr char16_t kDebuggerAEnabledEXE[] = u"DebuggerAEnabledEXE";
inline constexpr char16_t kDebuggerAEnabledOCX[] = u"DebuggerAEnabledOCX";
inline constexpr char16_t kDebuggerAEnabledLevel[] = u"DebuggerAEnabledLevel";
inline constexpr char16_t kDebuggerRegistry[] = u"DebuggerRegistry";
inline constexpr char16_t kDebuggerWindow[] = u"DebuggerWindow";
inline constexpr char16_t kDebuggerShell[] = u"DebuggerShell";
inline constexpr char16_t kCleanMachineEnvVar[] = u"CleanMachineEnvVar";
inline constexpr char16_t kDebuggerAKS[] = u"DebuggerAKS";
inline constexpr char16_t kFirstReportKeyBase[] = u"AAAA";  // default of DebuggerAKS

}  // namespace settings::catalog
