#pragma once
// Where a report viewer's rows come from, read afresh at every reload: the component's
// report file, a report file the viewer program opened, or the registry log.
#include <functional>
#include <string>

#include "component/platform.h"
#include "viewer/report_list.h"
#include "windows/report_file_watch.h"

namespace windows {

class ViewerSource {
 public:
  virtual ~ViewerSource() = default;
  // viewer::kReportColumnCount, or viewer::kRegistryLogColumnCount.
  virtual int column_count() const { return viewer::kReportColumnCount; }
  // What the caption names after the viewer's own; empty names nothing.
  virtual std::wstring caption_name() const { return {}; }
  // The name Save As offers, without a type.
  virtual std::wstring export_name() const = 0;
  // Whether Follow can watch it: a report file can be followed.
  virtual bool followable() const { return true; }
  // Raises an automation error that says clearly why, when it cannot be read now.
  virtual void Check() {}
  // Reads every entry into `rows` (emptied first); a report file through `watch`, so that
  // Follow goes on from what was read. A failure is raised with the rows read before it.
  virtual void Load(viewer::ReportList& rows, ReportFileWatch& watch) = 0;
};

// The component's report file: the module state's path and INI file handler as they are
// at each reload. A file the INI engine wrote is read straight from disk; any other
// through the handler, as the report-file sink wrote it. Without a handler a reload fails
// either way (error 91), as it always has.
class ComponentReportSource : public ViewerSource {
 public:
  explicit ComponentReportSource(const component::ReportSource& source) : source_(source) {}
  std::wstring export_name() const override;
  void Load(viewer::ReportList& rows, ReportFileWatch& watch) override;

 private:
  const component::ReportSource source_;
};

// A report file the viewer program opened, read as the component reads it: a file the
// INI engine wrote needs nothing registered; one in another form is read through the INI
// file handler, which `create_handler` makes (by its ProgID) the first time it is needed.
// Check says clearly when the file is absent, a folder, not an INI file, or in another
// form without a handler to read it.
class ReportFileSource : public ViewerSource {
 public:
  using HandlerFactory = std::function<outside::ObjectRef()>;  // raises when it cannot make one
  ReportFileSource(std::wstring path, HandlerFactory create_handler, component::ValueFormat& format)
      : path_(std::move(path)), create_handler_(std::move(create_handler)), format_(format) {}
  const std::wstring& path() const { return path_; }
  std::wstring caption_name() const override;
  std::wstring export_name() const override;
  void Check() override;
  void Load(viewer::ReportList& rows, ReportFileWatch& watch) override;

 private:
  [[noreturn]] void Refuse(int32_t number, const common::Text& why) const;
  outside::ObjectRef& Handler();

  std::wstring path_;
  HandlerFactory create_handler_;
  component::ValueFormat& format_;
  outside::ObjectRef handler_;
};

// The registry log of the user's settings (viewer/registry_log.h): ten columns, the
// tenth "Co-extra"; not followed. An absent log lists nothing.
class RegistryLogSource : public ViewerSource {
 public:
  int column_count() const override { return viewer::kRegistryLogColumnCount; }
  std::wstring caption_name() const override { return L"Registry Log"; }
  std::wstring export_name() const override { return L"Registry Log"; }
  bool followable() const override { return false; }
  void Load(viewer::ReportList& rows, ReportFileWatch& watch) override;
};

}  // namespace windows
