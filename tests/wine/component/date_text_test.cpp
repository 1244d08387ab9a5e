// The date text of a message line through the platform's conversion under the user's
// locale. Run once with LC_ALL=en_US.UTF-8 and once with LC_ALL=de_DE.UTF-8: Wine takes
// the process's user locale from it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/text.h"
#include "component/win32/platform_win32.h"

namespace {

std::wstring Wide(const common::Text& text) { return std::wstring(text.begin(), text.end()); }

TEST(DateText, ShortDateAndLongTimeAndAtMidnightTheDateAlone) {
  component::VariantValueFormat format;
  auto text = [&](double serial) { return Wide(format.TextOf(outside::Value(outside::Value::Date{serial}))); };
  const double morning = 46364.15636574074, midnight = 46364.0, afternoon = 46364.65636574074;  // 8 Dec 2026

  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  const std::wstring locale = name;
  if (locale == L"en-US") {
    EXPECT_EQ(text(morning), L"12/8/2026 3:45:10 AM");
    EXPECT_EQ(text(midnight), L"12/8/2026");
    EXPECT_EQ(text(afternoon), L"12/8/2026 3:45:10 PM");
  } else if (locale == L"de-DE") {
    SYSTEMTIME day{2026, 12, 2, 8, 0, 0, 0, 0};
    wchar_t date[64] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &day, nullptr, date, 64, nullptr);
    ASSERT_NE(std::wstring(date).find(L".12.2026"), std::wstring::npos) << date;
    EXPECT_EQ(text(morning), date + std::wstring(L" 03:45:10"));
    EXPECT_EQ(text(midnight), date);
    EXPECT_EQ(text(afternoon), date + std::wstring(L" 15:45:10"));
  } else {
    FAIL() << "the user locale is neither en-US nor de-DE";
  }
}

}  // namespace
