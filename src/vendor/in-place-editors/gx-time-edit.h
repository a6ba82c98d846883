#pragma once

#include "gx-spin-edit.h"

#include <cstdint>
#include <string>

// The time-of-day editor: the spin editor over a fixed mask of two-digit
// fields (24-hour clock). The keys, the buttons and the wheel step the field
// the caret stands in. The date part of a loaded value is kept and given
// back with the edited time.

enum TgxTimeEditFormat : uint8_t { tfHourMinSec, tfHourMin, tfHour };

struct TgxTimeEditFormatInfo {
  // "hh", "nn" and "ss" two-digit fields; ":" the locale's time separator.
  const wchar_t* DisplayFormat;
  const wchar_t* EditMask;
};
inline constexpr TgxTimeEditFormatInfo kgxTimeEditFormats[] = {
    {L"hh:nn:ss", L"00:00:00;1;0"},
    {L"hh:nn", L"00:00;1;0"},
    {L"hh", L"00;1;0"},
};

// A time of day (a fraction of a day) in a format of "hh", "nn", "ss" and
// ":" (the locale's time separator), other characters as they are. Raises
// EConvertError for a value outside one day.
std::wstring FormatTimeOfDay(const std::wstring& AFormat, double ATime);
// Hours, optional minutes and optional seconds separated by the locale's
// time separator, each field in its range; false for anything else.
bool TryTextToTime(const std::wstring& AText, double& ATime);

class TgxInplaceTimeEdit : public TgxInplaceSpinEdit {
public:
  explicit TgxInplaceTimeEdit(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxInplaceTimeEdit"; }

  TgxTimeEditFormat TimeEditFormat() const { return FTimeEditFormat; }
  void SetTimeEditFormat(TgxTimeEditFormat AValue);
  double Time() const { return FTime; }
  void SetTime(double AValue);
  double SavedDate() const { return FSavedDate; }

  void SetEditValue(const TgxVariant& AValue) override;
  void GetEditValue(TgxVariant& AValue) override;
  double GetIncrement() override;
  double GetValue() override;
  void SetValue(double AValue) override;
  bool IsValidChar(wchar_t AKey) override;

  // The field the caret is in: 'H', 'N', 'S', or another character of the
  // format outside the fields.
  wchar_t CurrentSection();

private:
  double FSavedDate = 0;
  double FTime = 0;
  TgxTimeEditFormat FTimeEditFormat = tfHourMinSec;
};
