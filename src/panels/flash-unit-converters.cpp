#include "flash-unit-converters.h"

#include "exceptions.h"
#include "numeric-text.h"

int64_t TUnitConvertor::Convert(int64_t AValue) const {
  if (AValue <= 0)
    return 0;
  return InternalConvert(AValue);
}

int64_t TUnitConvertor::Scaled(int64_t AValue, int64_t AFactor) {
  int64_t result = 0;
  if (__builtin_mul_overflow(AValue, AFactor, &result))
    throw EConvertError("The value " + std::to_string(AValue) + " is too large for its unit");
  return result;
}

namespace {

template <class T> std::unique_ptr<TUnitConvertor> Make() {
  return std::make_unique<T>();
}

constexpr TUnitListItem kFlashSizeUnits[] = {
    {L"Byte", &Make<TUC_Byte2Byte>},   {L"KByte", &Make<TUC_KByte2Byte>},
    {L"MByte", &Make<TUC_MByte2Byte>}, {L"Bit", &Make<TUC_Bit2Byte>},
    {L"KBit", &Make<TUC_KBit2Byte>},   {L"MBit", &Make<TUC_MBit2Byte>},
};

constexpr TUnitListItem kClockFrequencyUnits[] = {
    {L"Hz", &Make<TUC_Hz2Hz>},
    {L"KHz", &Make<TUC_KHz2Hz>},
    {L"MHz", &Make<TUC_MHz2Hz>},
};

} // namespace

std::span<const TUnitListItem> FlashSizeUnits() {
  return kFlashSizeUnits;
}

std::span<const TUnitListItem> ClockFrequencyUnits() {
  return kClockFrequencyUnits;
}

std::unique_ptr<TUnitConvertor> MakeUnitConvertor(std::wstring_view AUnit) {
  for (const auto units : {FlashSizeUnits(), ClockFrequencyUnits()})
    for (const TUnitListItem& item : units)
      if (AUnit == item.Text)
        return item.Make();
  return nullptr;
}

bool TryConvertUnitText(const std::wstring& AText, const TUnitConvertor& AConvertor,
                        int64_t& AValue) {
  AValue = 0;
  int64_t number = 0;
  if (!TryParseSize(AText, number))
    return false;
  try {
    AValue = AConvertor.Convert(number);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}
