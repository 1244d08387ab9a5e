// Which files the report viewer program takes as report files, by their first bytes.
#include <gtest/gtest.h>

#include "viewer/report_file_check.h"

namespace {

TEST(ReportFileCheck, TextWithASectionIsAReportFile) {
  using viewer::ReportFileHead;
  const struct {
    std::string head;
    ReportFileHead look;
  } cases[] = {
      {"", ReportFileHead::kIni},
      {"[DebuggerA]\r\nCounter=1\r\n", ReportFileHead::kIni},
      {";comment\r\n  [DebuggerAReport]\r\n0=x", ReportFileHead::kIni},
      {std::string("\xFF\xFE[\0D\0]\0\r\0\n\0", 12), ReportFileHead::kIni},   // UTF-16LE with its mark
      {std::string("\xEF\xBB\xBF[S]\nk=v"), ReportFileHead::kIni},
      {"just some notes\r\nkey=value\r\n", ReportFileHead::kNoSection},
      {"text [not a section]\r\n", ReportFileHead::kNoSection},
      {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), ReportFileHead::kNotText},
      {std::string("[S]\r\nk=v\0w", 10), ReportFileHead::kNotText},
      {"[S]\r\nbell\x07", ReportFileHead::kNotText},
  };
  for (const auto& c : cases) EXPECT_EQ(viewer::CheckReportFileHead(c.head), c.look) << c.head;
}

}  // namespace
