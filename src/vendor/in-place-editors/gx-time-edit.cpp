#include "gx-time-edit.h"

#include "gx-resources.h"

#include "format-settings.h"
#include "rtl-exceptions.h"

#include <cmath>
#include <cwctype>

namespace {

// A time's milliseconds past midnight, rounded as the run time decodes.
long long TimeMilliseconds(double ATime) {
  return std::llround(std::fabs(ATime - std::trunc(ATime)) * 86400000.0);
}

std::wstring TwoDigits(int AValue) {
  return std::wstring{wchar_t(L'0' + AValue / 10 % 10), wchar_t(L'0' + AValue % 10)};
}

bool StartsWithNoCase(const std::wstring& AText, size_t APos, const wchar_t* APrefix) {
  for (size_t k = 0; APrefix[k]; ++k)
    if (APos + k >= AText.size() || std::towupper(AText[APos + k]) != std::towupper(APrefix[k]))
      return false;
  return true;
}

// Whether an hour field came before the "m" at APos (so "m" means minutes).
bool HourBefore(const std::wstring& AFormat, size_t APos) {
  for (size_t k = APos; k-- > 0;) {
    const wchar_t c = wchar_t(std::towupper(AFormat[k]));
    if (c == L'H')
      return true;
    if (c == L'D' || c == L'Y' || c == L'M')
      return false;
  }
  return false;
}

} // namespace

std::wstring FormatTimeOfDay(const std::wstring& AFormat, double ATime) {
  if (!std::isfinite(ATime) || std::fabs(ATime) > 2.0e6)
    throw EConvertError(L"Invalid argument to time encode");
  const long long ms = TimeMilliseconds(ATime) % 86400000LL;
  const int hour = int(ms / 3600000), minute = int(ms / 60000 % 60), second = int(ms / 1000 % 60);
  const TFormatSettings& settings = FormatSettings();
  // A marker of the half-day turns the hour into a 12-hour clock.
  const bool twelve =
      AFormat.find(L"AMPM") != std::wstring::npos || AFormat.find(L"ampm") != std::wstring::npos ||
      AFormat.find(L"A/P") != std::wstring::npos || AFormat.find(L"a/p") != std::wstring::npos;
  std::wstring result;
  for (size_t i = 0; i < AFormat.size();) {
    const wchar_t c = AFormat[i];
    const wchar_t upper = wchar_t(std::towupper(c));
    size_t run = 1;
    while (i + run < AFormat.size() && std::towupper(AFormat[i + run]) == upper && upper != L':')
      ++run;
    if (c == L'\'' || c == L'"') {
      const size_t close = AFormat.find(c, i + 1);
      const size_t end = close == std::wstring::npos ? AFormat.size() : close;
      result += AFormat.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (StartsWithNoCase(AFormat, i, L"AMPM")) {
      result += hour < 12 ? settings.TimeAMString : settings.TimePMString;
      i += 4;
      continue;
    }
    if (StartsWithNoCase(AFormat, i, L"A/P")) {
      result += hour < 12 ? L'A' : L'P';
      i += 3;
      continue;
    }
    int field = -1;
    if (upper == L'H')
      field = twelve ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
    else if (upper == L'N' || (upper == L'M' && HourBefore(AFormat, i)))
      field = minute;
    else if (upper == L'S')
      field = second;
    if (field >= 0) {
      result += run >= 2 ? TwoDigits(field) : std::to_wstring(field);
      i += std::min<size_t>(run, 2);
    } else if (c == L':') {
      result += settings.TimeSeparator;
      ++i;
    } else {
      result += c;
      ++i;
    }
  }
  return result;
}

bool TryTextToTime(const std::wstring& AText, double& ATime) {
  const wchar_t separator = FormatSettings().TimeSeparator;
  int fields[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  while (i < AText.size() && AText[i] == L' ')
    ++i;
  while (count < 3) {
    int digits = 0, value = 0;
    while (i < AText.size() && AText[i] >= L'0' && AText[i] <= L'9' && digits < 4) {
      value = value * 10 + (AText[i] - L'0');
      ++i;
      ++digits;
    }
    if (digits == 0)
      return false;
    fields[count++] = value;
    if (i < AText.size() && AText[i] == separator)
      ++i;
    else
      break;
  }
  while (i < AText.size() && AText[i] == L' ')
    ++i;
  if (i != AText.size() || fields[0] > 23 || fields[1] > 59 || fields[2] > 59)
    return false;
  ATime = (fields[0] * 3600.0 + fields[1] * 60.0 + fields[2]) / 86400.0;
  return true;
}

// ===========================================================================
// TgxInplaceTimeEdit

TgxInplaceTimeEdit::TgxInplaceTimeEdit(TComponent* AOwner) : TgxInplaceSpinEdit(AOwner) {
  SetEditMask(kgxTimeEditFormats[tfHourMinSec].EditMask);
  SetIgnoreMaskBlank(true);
}

void TgxInplaceTimeEdit::SetTimeEditFormat(TgxTimeEditFormat AValue) {
  if (AValue == FTimeEditFormat)
    return;
  FTimeEditFormat = AValue;
  SetEditMask(kgxTimeEditFormats[AValue].EditMask);
}

void TgxInplaceTimeEdit::SetTime(double AValue) {
  if (AValue == FTime)
    return;
  IgxEditContainer* container = Container();
  if ((container && container->IsInitEdit()) || CanEditValue())
    SetValue(AValue);
}

void TgxInplaceTimeEdit::SetEditValue(const TgxVariant& AValue) {
  const bool modified = GetModified();
  try {
    const auto* text = std::get_if<std::wstring>(&AValue);
    if (std::holds_alternative<std::monostate>(AValue) || (text && text->empty())) {
      FSavedDate = 0;
      SetValue(0);
    } else {
      double value = 0;
      if (const auto* number = std::get_if<double>(&AValue))
        value = *number;
      else if (const auto* integer = std::get_if<int64_t>(&AValue))
        value = double(*integer);
      else if (const auto* flag = std::get_if<bool>(&AValue))
        value = *flag ? -1.0 : 0.0;
      else if (!TryTextToFloat(*text, FormatSettings().DecimalSeparator, value) &&
               !TryTextToTime(*text, value))
        throw EConvertError(L"'" + *text + L"' is not a valid time");
      // The whole days, nudged off the edge of a day before truncating.
      FSavedDate = std::trunc(value + (value < 0 ? -1e-11 : 1e-11));
      const long long ms = TimeMilliseconds(value) % 86400000LL;
      SetValue(double(ms) / 86400000.0);
    }
  } catch (...) {
    SetModified(modified);
    throw;
  }
  SetModified(modified);
}

void TgxInplaceTimeEdit::GetEditValue(TgxVariant& AValue) {
  // No time and no date: a plain zero, which the host does not take for a
  // date.
  if (FTime == 0 && FSavedDate == 0)
    AValue = int64_t(0);
  else
    AValue = FTime + FSavedDate;
}

double TgxInplaceTimeEdit::GetValue() {
  double value = 0;
  return TryTextToTime(EditText(), value) ? value : 0.0;
}

wchar_t TgxInplaceTimeEdit::CurrentSection() {
  std::wstring format = kgxTimeEditFormats[FTimeEditFormat].DisplayFormat;
  for (wchar_t& c : format)
    c = wchar_t(std::towupper(c));
  int position = (HandleAllocated() ? GetSelStart() : 0) + 1;
  const int maxLength = MaxChars() > 0 ? MaxChars() : int(format.size());
  position = std::min(position, maxLength);
  position = std::min(position, int(format.size()));
  const wchar_t at = format[size_t(std::max(position, 1) - 1)];
  if (at == L'H' || at == L'N' || at == L'S')
    return at;
  return format[size_t(std::max(position - 1, 1) - 1)];
}

double TgxInplaceTimeEdit::GetIncrement() {
  switch (CurrentSection()) {
  case L'H':
    return kgxOneHour;
  case L'N':
    return kgxOneMinute;
  case L'S':
    return kgxOneSecond;
  default:
    return 0;
  }
}

void TgxInplaceTimeEdit::SetValue(double AValue) {
  // Half a millisecond of slack keeps sums of steps at the day's edges.
  constexpr double kSlack = 0.5 / 86400000.0;
  if (!(AValue >= -kSlack && AValue <= kgxMaxTime + kSlack))
    return;
  int caret = 0;
  if (HandleAllocated()) {
    const int start = GetSelStart();
    caret = start < 3 ? 1 : start <= 5 ? 4 : 7;
  }
  FTime = AValue < 0 ? 0 : AValue;
  try {
    try {
      SetEditText(FormatTimeOfDay(kgxTimeEditFormats[FTimeEditFormat].DisplayFormat, FTime));
    } catch (const std::exception&) {
      SYSTEMTIME now{};
      GetLocalTime(&now);
      const double time = (now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond) / 86400.0;
      SetEditText(FormatTimeOfDay(FormatSettings().LongTimeFormat, time));
    }
  } catch (...) {
    if (HandleAllocated())
      SetCursor(std::min(caret, std::max(MaxChars() - 1, 0)));
    throw;
  }
  if (HandleAllocated())
    SetCursor(std::min(caret, std::max(MaxChars() - 1, 0)));
}

bool TgxInplaceTimeEdit::IsValidChar(wchar_t AKey) {
  const int start = HandleAllocated() ? GetSelStart() : 0;
  const wchar_t section = CurrentSection();
  if (section == L'H' && start == 0)
    return AKey >= L'0' && AKey <= L'2';
  const std::wstring text = EditText();
  if (section == L'H' && start == 1 && !text.empty() && text[0] == L'2')
    return AKey >= L'0' && AKey <= L'3';
  if ((section == L'N' && start == 3) || (section == L'S' && start == 6))
    return AKey >= L'0' && AKey <= L'5';
  return true;
}
