#pragma once
// Save As in the report viewer: the platform's Save dialog, then the rows as shown written
// to the chosen file as CSV or tab-separated text (viewer/table_export.h), by the type
// chosen in the dialog. The file is written whole beside the chosen name first and then
// takes that name, so that a failure leaves nothing half-written there: the name holds
// what it held before, or nothing.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "viewer/table_export.h"

namespace windows {

// The dialog's file types, by their position in it (1 is the first).
inline constexpr wchar_t kSaveTypes[] = L"CSV, UTF-8 (*.csv)\0*.csv\0Text, tab-separated, UTF-8 (*.txt)\0*.txt\0";
inline constexpr wchar_t kSaveDialogTitle[] = L"Save As";

// Shows the Save dialog owned by `owner`, offering `suggested` (a name without its type),
// and writes the rows to the file chosen. False when the user cancels. Raises an
// automation error that names the file and the reason when it cannot be written.
bool SaveRowsAs(HWND owner, const viewer::ReportList& rows, const std::wstring& suggested);

// Writes the bytes `produce` hands to its writer into a new file beside `path`
// (<path>.<number>.velk-new), which then replaces whatever is at `path`. Raises an
// automation error, with nothing at `path` changed and the new file removed, when any step
// fails (also a throw of `produce`).
using ByteWriter = std::function<void(std::string_view)>;
void WriteFileWhole(const std::wstring& path, const std::function<void(const ByteWriter&)>& produce);

}  // namespace windows
