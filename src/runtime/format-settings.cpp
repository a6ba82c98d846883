#include "format-settings.h"

#include <optional>

namespace {

std::wstring LocaleText(LCID ALocale, LCTYPE AType, const wchar_t* ADefault) {
  wchar_t text[256] = {};
  const int length = GetLocaleInfoW(ALocale, AType, text, 256);
  return length > 1 ? std::wstring(text, size_t(length - 1)) : std::wstring(ADefault);
}

int LocaleNumber(LCID ALocale, LCTYPE AType, int ADefault) {
  const std::wstring text = LocaleText(ALocale, AType, L"");
  try {
    return text.empty() ? ADefault : std::stoi(text);
  } catch (...) {
    return ADefault;
  }
}

// The format with every occurrence of the locale's separator outside quoted
// text replaced by the run time's own separator character.
std::wstring WithSeparator(const std::wstring& AFormat, const std::wstring& ASeparator,
                           wchar_t AOwn) {
  if (ASeparator.empty())
    return AFormat;
  std::wstring result;
  wchar_t quote = 0;
  for (size_t i = 0; i < AFormat.size();) {
    const wchar_t c = AFormat[i];
    if (quote) {
      result += c;
      quote = c == quote ? 0 : quote;
      ++i;
    } else if (c == L'\'' || c == L'"') {
      quote = c;
      result += c;
      ++i;
    } else if (AFormat.compare(i, ASeparator.size(), ASeparator) == 0) {
      result += AOwn;
      i += ASeparator.size();
    } else {
      result += c;
      ++i;
    }
  }
  return result;
}

std::optional<TFormatSettings>& Current() {
  static std::optional<TFormatSettings> settings;
  return settings;
}

} // namespace

std::wstring ConvertLocaleTimeMarkers(const std::wstring& AFormat) {
  std::wstring result;
  for (size_t i = 0; i < AFormat.size();) {
    if (AFormat[i] == L't' || AFormat[i] == L'T') {
      size_t run = 0;
      while (i + run < AFormat.size() && (AFormat[i + run] == L't' || AFormat[i + run] == L'T'))
        ++run;
      result += run == 1 ? L"A/P" : L"AMPM";
      i += run;
    } else {
      result += AFormat[i++];
    }
  }
  return result;
}

TFormatSettings FormatSettingsOfLocale(LCID ALocale) {
  TFormatSettings settings;
  const std::wstring dateSeparator = LocaleText(ALocale, LOCALE_SDATE, L"/");
  const std::wstring timeSeparator = LocaleText(ALocale, LOCALE_STIME, L":");
  settings.DateSeparator = dateSeparator.empty() ? L'/' : dateSeparator[0];
  settings.TimeSeparator = timeSeparator.empty() ? L':' : timeSeparator[0];
  settings.ShortDateFormat =
      WithSeparator(LocaleText(ALocale, LOCALE_SSHORTDATE, L"M/d/yyyy"), dateSeparator, L'/');
  settings.LongDateFormat = WithSeparator(
      LocaleText(ALocale, LOCALE_SLONGDATE, L"dddd, MMMM d, yyyy"), dateSeparator, L'/');
  settings.LongTimeFormat = ConvertLocaleTimeMarkers(
      WithSeparator(LocaleText(ALocale, LOCALE_STIMEFORMAT, L"h:mm:ss tt"), timeSeparator, L':'));
  settings.ShortTimeFormat = ConvertLocaleTimeMarkers(
      WithSeparator(LocaleText(ALocale, LOCALE_SSHORTTIME, L"h:mm tt"), timeSeparator, L':'));
  settings.TimeAMString = LocaleText(ALocale, LOCALE_S1159, L"AM");
  settings.TimePMString = LocaleText(ALocale, LOCALE_S2359, L"PM");
  for (int i = 0; i < 12; ++i) {
    settings.ShortMonthNames[size_t(i)] =
        LocaleText(ALocale, LOCALE_SABBREVMONTHNAME1 + LCTYPE(i), L"");
    settings.LongMonthNames[size_t(i)] = LocaleText(ALocale, LOCALE_SMONTHNAME1 + LCTYPE(i), L"");
  }
  settings.CurrencyString = LocaleText(ALocale, LOCALE_SCURRENCY, L"$");
  settings.CurrencyFormat = LocaleNumber(ALocale, LOCALE_ICURRENCY, 0);
  settings.NegCurrFormat = LocaleNumber(ALocale, LOCALE_INEGCURR, 0);
  settings.CurrencyDecimals = LocaleNumber(ALocale, LOCALE_ICURRDIGITS, 2);
  const std::wstring decimal = LocaleText(ALocale, LOCALE_SDECIMAL, L".");
  const std::wstring thousand = LocaleText(ALocale, LOCALE_STHOUSAND, L",");
  settings.DecimalSeparator = decimal.empty() ? L'.' : decimal[0];
  settings.ThousandSeparator = thousand.empty() ? L',' : thousand[0];
  return settings;
}

TFormatSettings& FormatSettings() {
  if (!Current())
    Current() = FormatSettingsOfLocale(GetThreadLocale());
  return *Current();
}

void ReloadFormatSettings() {
  Current() = FormatSettingsOfLocale(GetThreadLocale());
}

bool& UpdateFormatSettings() {
  static bool update = true;
  return update;
}
