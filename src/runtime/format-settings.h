#pragma once

#include <windows.h>

#include <array>
#include <string>

// The regional formats the run time formats and reads dates, times and
// money with, taken from a locale. Date formats use "/" for the date
// separator and time formats ":" for the time separator, whatever the
// locale's separators are; the time marker of the locale ("t" or "tt")
// becomes "A/P" or "AMPM".
struct TFormatSettings {
  wchar_t DateSeparator = L'/';
  wchar_t TimeSeparator = L':';
  std::wstring ShortDateFormat;
  std::wstring LongDateFormat;
  std::wstring ShortTimeFormat;
  std::wstring LongTimeFormat;
  std::wstring TimeAMString;
  std::wstring TimePMString;
  std::array<std::wstring, 12> ShortMonthNames;
  std::array<std::wstring, 12> LongMonthNames;
  std::wstring CurrencyString;
  // LOCALE_ICURRENCY (0..3) and LOCALE_INEGCURR (0..15).
  int CurrencyFormat = 0;
  int NegCurrFormat = 0;
  int CurrencyDecimals = 2;
  // The decimal mark and the digit-group mark of numbers.
  wchar_t DecimalSeparator = L'.';
  wchar_t ThousandSeparator = L',';
};

// The settings of a locale.
TFormatSettings FormatSettingsOfLocale(LCID ALocale);
// The process's settings, read from the thread's locale on first use.
TFormatSettings& FormatSettings();
// Reads the process's settings again from the thread's locale.
void ReloadFormatSettings();
// Whether the process follows a change of the user's regional settings.
bool& UpdateFormatSettings();

// A locale time format with its "t" marker runs as "A/P" (one letter) or
// "AMPM" (more); every other character is kept.
std::wstring ConvertLocaleTimeMarkers(const std::wstring& AFormat);
