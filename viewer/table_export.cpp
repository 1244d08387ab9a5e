#include "viewer/table_export.h"

namespace viewer {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr size_t kPieceBytes = 64 * 1024;

char Separator(ExportFormat format) { return format == ExportFormat::kCsv ? ',' : '\t'; }

void AppendUtf8(std::string& out, TextView text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c < 0xE000) {  // a surrogate: a pair, or U+FFFD
      if (c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
        c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
      else
        c = 0xFFFD;
    }
    if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

void AppendField(std::string& out, TextView field, ExportFormat format) {
  const char16_t separator = static_cast<char16_t>(Separator(format));
  bool quoted = false;
  for (char16_t c : field) quoted |= c == separator || c == u'"' || c == u'\r' || c == u'\n';
  if (!quoted) {
    AppendUtf8(out, field);
    return;
  }
  out.push_back('"');
  for (size_t from = 0;;) {
    const size_t quote = field.find(u'"', from);
    AppendUtf8(out, field.substr(from, quote == TextView::npos ? TextView::npos : quote + 1 - from));
    if (quote == TextView::npos) break;
    out.push_back('"');
    from = quote + 1;
  }
  out.push_back('"');
}

void ExportRows(const ReportList& rows, ExportFormat format, const std::function<void(std::string_view)>& write) {
  std::string piece(kUtf8Bom);
  piece.reserve(kPieceBytes + 4096);
  const char separator = Separator(format);
  const int columns = rows.column_count();
  for (int column = 0; column < columns; ++column) {
    if (column) piece.push_back(separator);
    AppendField(piece, kReportColumns[column].header, format);
  }
  piece += "\r\n";
  Text scratch;
  for (size_t position = 0; position < rows.size(); ++position) {
    for (int column = 0; column < columns; ++column) {
      if (column) piece.push_back(separator);
      AppendField(piece, rows.Cell(position, column, scratch), format);
    }
    piece += "\r\n";
    if (piece.size() >= kPieceBytes) {
      write(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) write(piece);
}

}  // namespace viewer
