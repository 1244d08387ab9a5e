#pragma once
// A debugger on the real platform with the registered companion components, a clean
// settings tree and its own report file folder, for the window tests.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <filesystem>
#include <memory>
#include <string>

#include "component/debugger_commands.h"
#include "component/win32/platform_win32.h"
#include "outside/helper_components.h"
#include "settings/catalog.h"
#include "ui_driver.h"

namespace ui {

class DebuggerWindows : public ::testing::Test {
 protected:
  static constexpr wchar_t kKestrelon[] = L"Software\\VB and VBA Program Settings\\Kestrelon";

  void SetUp() override {
    CoInitialize(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"velk ui " + std::to_wstring(GetCurrentProcessId());  // a blank in the path
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    SetEnvironmentVariableW(L"QVSUPPORT", folder_.c_str());
    state_ = std::make_unique<component::ModuleState>();
  }
  void TearDown() override {
    debugger_.reset();
    state_.reset();  // closes the windows still open
    RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon);
    SetFileAttributesW(ReportPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    CoUninitialize();
  }

  void Store(const char16_t* key, const char16_t* text) {
    platform_.settings.WriteSetting(settings::catalog::kSettingsApp, settings::catalog::kSectionDebuggerA, key, text);
  }
  common::Text Stored(const common::Text& app, const common::Text& section, const common::Text& key) {
    return platform_.settings.ReadSetting(app, section, key, u"<none>");
  }
  component::Debugger& Create() {
    debugger_ = std::make_unique<component::Debugger>(*state_, platform_.platform);
    return *debugger_;
  }
  // One entry of the report file, written through the component's INI file handler.
  void Entry(const common::Text& key, const common::Text& value) {
    outside::IniFileHandler ini(state_->ini_handler);
    ini.SetPath(state_->report_file_path);
    ini.SetSection(settings::catalog::kSectionReport);
    ini.SetKey(outside::Value(key));
    ini.SetValue(outside::Value(value));
  }
  std::wstring ReportPath() const { return folder_ + L"\\velkbug.ini"; }

  std::wstring folder_;
  component::Win32Platform platform_;
  std::unique_ptr<component::ModuleState> state_;
  std::unique_ptr<component::Debugger> debugger_;
};

}  // namespace ui
