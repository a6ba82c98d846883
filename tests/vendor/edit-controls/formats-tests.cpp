#include "kx-formats.h"

#include "edit-controls-units.h"
#include "format-settings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TItems = std::vector<std::pair<TkxDateTimeFormatItemKind, std::wstring>>;

TItems ItemsOf(const TkxDateTimeFormatInfo& AInfo) {
  TItems items;
  for (int i = 0; i < AInfo.ItemCount(); ++i)
    items.emplace_back(AInfo.Items(i).Kind, AInfo.Items(i).Data);
  return items;
}

// Regional settings fixed for the test, put back afterwards.
class FormatsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Saved = FormatSettings();
    TFormatSettings& settings = FormatSettings();
    settings.ShortDateFormat = L"M/d/yyyy";
    settings.LongTimeFormat = L"h:mm:ss AMPM";
    settings.DateSeparator = L'/';
    settings.TimeSeparator = L':';
    settings.TimeAMString = L"AM";
    settings.TimePMString = L"PM";
  }
  void TearDown() override { FormatSettings() = Saved; }
  TFormatSettings Saved;
};

TEST_F(FormatsTest, FormatsParseIntoTheirParts) {
  struct TCase {
    const wchar_t* Format;
    bool Parses;
    TItems Items;
  };
  const TCase cases[] = {
      {L"M/d/yyyy",
       true,
       {{dtikMonth, L"M"},
        {dtikDateSeparator, L""},
        {dtikDay, L"D"},
        {dtikDateSeparator, L""},
        {dtikYear, L"YYYY"}}},
      {L"h:mm:ss AMPM",
       true,
       {{dtikHour, L"12H"},
        {dtikTimeSeparator, L""},
        {dtikMin, L"NN"},
        {dtikTimeSeparator, L""},
        {dtikSec, L"SS"},
        {dtikString, L" "},
        {dtikTimeSuffix, L"AMPM"}}},
      {L"A/P h:mm",
       true,
       {{dtikTimeSuffix, L"A/P"},
        {dtikString, L" "},
        {dtikHour, L"12H"},
        {dtikTimeSeparator, L""},
        {dtikMin, L"NN"}}},
      {L"HH:mm", true, {{dtikHour, L"24HH"}, {dtikTimeSeparator, L""}, {dtikMin, L"NN"}}},
      {L"d.M.d",
       true,
       {{dtikDay, L"D"}, {dtikString, L"."}, {dtikMonth, L"M"}, {dtikString, L"."}}},
      {L"dd 'of' mmmm", true, {{dtikDay, L"DD"}, {dtikString, L" of "}, {dtikMonth, L"MMMM"}}},
      {L"am/pm yy", true, {{dtikString, L" "}, {dtikYear, L"YY"}}},
      {L"gg yyyy", false, {}},
      {L"yyyy G", false, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.Format)));
    TkxDateTimeFormatInfo info;
    EXPECT_EQ(ParseDateTimeFormat(info, c.Format), c.Parses);
    EXPECT_EQ(ItemsOf(info), c.Items);
  }
}

TEST_F(FormatsTest, EmptyFormatMeansShortDateThenLongTime) {
  TkxDateTimeFormatInfo info;
  ASSERT_TRUE(ParseDateTimeFormat(info, L""));
  ASSERT_GE(info.ItemCount(), 6);
  EXPECT_EQ(info.Items(0).Kind, dtikMonth);
  EXPECT_EQ(info.Items(5).Kind, dtikString);
  EXPECT_EQ(info.Items(5).Data, L" ");
  EXPECT_EQ(info.Items(6).Kind, dtikHour);
}

TEST_F(FormatsTest, LocaleTimeMarkersBecomeSuffixes) {
  EXPECT_EQ(ConvertLocaleTimeMarkers(L"h:mm:ss tt"), L"h:mm:ss AMPM");
  EXPECT_EQ(ConvertLocaleTimeMarkers(L"t h:mm"), L"A/P h:mm");
  EXPECT_EQ(ConvertLocaleTimeMarkers(L"HH:mm"), L"HH:mm");
}

TEST_F(FormatsTest, MasksAndEditFormatsOfADateAndATime) {
  TkxDateTimeFormatInfo date, time, twentyFour;
  ParseDateTimeFormat(date, L"M/d/yyyy");
  ParseDateTimeFormat(time, L"h:mm:ss AMPM");
  ParseDateTimeFormat(twentyFour, L"HH:mm");
  EXPECT_EQ(DateEditFormatOf(L"M/d/yyyy"), L"MM/dd/yyyy");
  EXPECT_EQ(DateEditFormatOf(L"dd.MM.yy"), L"dd.MM.yy");
  EXPECT_EQ(StandardMask(date, TkxMaskMode::Date), L"!99/99/9999;1; ");
  EXPECT_EQ(StandardMask(time, TkxMaskMode::Time), L"00:00:00\\ cc;1;0");
  EXPECT_EQ(StandardMask(TkxDateTimeFormatInfo(), TkxMaskMode::Date), L"");
  EXPECT_EQ(RegExprTimeMask(time), L"(0?[1-9]|1[012])\\:[0-5]?\\d\\:[0-5]?\\d' '('AM'|'PM')?");
  EXPECT_EQ(RegExprTimeMask(twentyFour), L"([01]?\\d|2[0-3])\\:[0-5]?\\d");
  EXPECT_EQ(MaskedEditFormat(date), L"mm/dd/yyyy");
  EXPECT_EQ(MaskedEditFormat(time), L"hh:nn:ss' 'ampm");
  const std::wstring months = RegExprDateMask(date);
  EXPECT_EQ(months.rfind(L"((0?[1-9]|1[012])|('", 0), 0u) << testing::PrintToString(months);
}

TEST_F(FormatsTest, StandardMaskZonesLocateTheItemUnderAPosition) {
  TkxDateTimeFormatInfo info;
  ParseDateTimeFormat(info, L"M/d/yyyy h:mm AMPM");
  EXPECT_EQ(TkxFormatController::GetDateTimeStandardMaskStringLength(info),
            2 + 1 + 2 + 1 + 4 + 1 + 2 + 1 + 2 + 1 + 2);
  struct TCase {
    int Pos;
    bool Found;
    TkxDateTimeFormatItemKind Kind;
    int Start, Length;
  };
  const TCase cases[] = {{0, false, dtikString, 0, 0},      {1, true, dtikMonth, 1, 2},
                         {4, true, dtikDay, 4, 2},          {7, true, dtikYear, 7, 4},
                         {18, true, dtikTimeSuffix, 18, 2}, {20, false, dtikString, 0, 0}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Pos);
    TkxDateTimeFormatItemInfo item;
    ASSERT_EQ(TkxFormatController::GetDateTimeFormatItemStandardMaskInfo(info, c.Pos, item),
              c.Found);
    if (!c.Found)
      continue;
    EXPECT_EQ(item.Kind, c.Kind);
    EXPECT_EQ(item.ItemZoneStart, c.Start);
    EXPECT_EQ(item.ItemZoneLength, c.Length);
  }
}

TEST_F(FormatsTest, CurrencyFormatFollowsThePositiveAndNegativeOrders) {
  struct TCase {
    const wchar_t* Symbol;
    int Decimals, Positive, Negative;
    const wchar_t* Expected;
  };
  const TCase cases[] = {
      {L"$", 2, 0, 0, L"$,0.00;($,0.00)"},
      {L"kr.", 2, 3, 8, L",0.00 kr'.';-,0.00 kr'.'"},
      {L"\u20ac", 0, 1, 15, L",0.\u20ac;(,0. \u20ac)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.Expected)));
    TFormatSettings& settings = FormatSettings();
    settings.CurrencyString = c.Symbol;
    settings.CurrencyDecimals = c.Decimals;
    settings.CurrencyFormat = c.Positive;
    settings.NegCurrFormat = c.Negative;
    EXPECT_EQ(BuildCurrencyFormat(), c.Expected);
  }
}

// Counts what it hears.
class TListener : public IkxFormatControllerListener {
public:
  void FormatChanged() override { ++Formats; }
  int Formats = 0;
};

class TTimeListener : public TListener, public IkxTimeChangeListener {
public:
  void TimeChanged() override { ++Times; }
  int Times = 0;
};

TEST_F(FormatsTest, ControllerTellsItsListenersOfEveryRefresh) {
  FormatSettings().LongTimeFormat = L"HH:mm";
  TkxFormatController controller;
  controller.SetUseMorvikDateTimeFormats(true);
  EXPECT_EQ(controller.StandardDateEditMask(), L"!99/99/9999;1; ");
  EXPECT_EQ(controller.StandardDateTimeEditMask(), L"!99/99/9999\\ 99:99;1; ");
  const std::wstring words = controller.RegExprDateEditMask();
  EXPECT_NE(words.find(L"'today'"), std::wstring::npos);
  EXPECT_EQ(words.find(L"'now'"), std::wstring::npos) << "dates do not take now";
  EXPECT_NE(controller.RegExprDateTimeEditMask().find(L"|'now')"), std::wstring::npos);

  TListener plain;
  TTimeListener timed;
  controller.AddListener(&plain);
  controller.AddListener(&plain);
  controller.AddListener(&timed);
  controller.SetFirstWeekOfYear(fwyJan1);
  EXPECT_EQ(plain.Formats, 1) << "a listener is listed once";
  controller.SetFirstWeekOfYear(fwyJan1);
  EXPECT_EQ(plain.Formats, 1) << "an unchanged value refreshes nothing";

  controller.BeginUpdate();
  controller.SetStandardDateEditMask(L"!99-99;1;_");
  controller.SetFirstWeekOfYear(fwyFirstFullWeek);
  EXPECT_EQ(plain.Formats, 1);
  controller.EndUpdate();
  EXPECT_EQ(plain.Formats, 2) << "one notice for the update";
  controller.GetFormats();
  EXPECT_EQ(controller.StandardDateEditMask(), L"!99-99;1;_") << "an assigned mask stays";

  SendMessageW(controller.Handle(), WM_TIMECHANGE, 0, 0);
  EXPECT_EQ(timed.Times, 1);
  SendMessageW(controller.Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
  EXPECT_EQ(plain.Formats, 3) << "a change of the regional settings";
  SendMessageW(controller.Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"));
  EXPECT_EQ(plain.Formats, 3);
  controller.RemoveListener(&plain);
  controller.RemoveListener(&timed);
}

TEST_F(FormatsTest, TheLibraryControllerIsMadeOnceAndFreedAtUnload) {
  TkxFormatController* controller = GetFormatController();
  EXPECT_EQ(GetFormatController(), controller);
  KxFormatsShutdown();
  TkxFormatController* again = GetFormatController();
  EXPECT_NE(again, nullptr);
  KxFormatsShutdown();
}

} // namespace
