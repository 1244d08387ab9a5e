#pragma once
// AddDebugMessage: identity, filters, numbering and composition of the message
// line, then the three sinks (report file, live window, registry log).
#include "component/module_state.h"
#include "component/platform.h"

namespace component {

// The caller's arguments. Texts arrive as the caller passed them (omitted: empty
// text, level 0); vExtra may be changed ("-" for an empty extra text).
struct DebugMessage {
  Text message;   // sMessage
  Text type;      // sType: "dll", "ocx" or "exe" in any letter case
  Text name;      // sName
  int16_t level = 0;  // iLevel
  Value* extra = nullptr;           // vExtra, in and out (an omitted one: none)
  const Value* co_extra = nullptr;  // vCoExtra (an omitted one: none)
};

// "Ledger > Ledger Desk > 3.2", or "APPOBJNOTHING" when no application object is stored.
Text ApplicationIdentity(const outside::ObjectRef& app, ValueFormat& format);

// The kind label (". (dll) " ...) of an accepted kind, or empty when the kind is
// unknown or its switch (the stored text of its setting) is off.
Text KindLabel(TextView type, TextView kind_setting);

// The first half: returns the message line, empty for a rejected message.
// Changes `extra` and the message counter as it goes.
Text ComposeMessageLine(ModuleState& state, const Platform& platform, DebugMessage& message);

// The second half: the three sinks, each as its switch says.
void DeliverMessageLine(ModuleState& state, const Platform& platform, const Text& line, const Value* co_extra);

// The whole method under its error trap: any error shows the error report and the
// call returns normally.
void AddDebugMessage(ModuleState& state, const Platform& platform, DebugMessage& message);

// The lock name guarding the read-advance-write of the registry log's last report key
// against other processes (the report file's counter has a lock of the file's own).
inline constexpr char16_t kReportKeyLockName[] = u"velk10.registry-report-key";

}  // namespace component
