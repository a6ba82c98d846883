#pragma once

// The units of the flash memory utility's size and clock lists: each list
// item carries a converter that turns the number typed in its unit into the
// base unit, bytes for sizes and hertz for clocks.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class TUnitConvertor {
public:
  virtual ~TUnitConvertor() = default;
  // 0 for an input of 0 or less; otherwise the value in the base unit.
  // EConvertError when the result does not fit in 64 bits.
  int64_t Convert(int64_t AValue) const;

protected:
  // Called with a positive value only.
  virtual int64_t InternalConvert(int64_t AValue) const = 0;
  // AValue x AFactor, EConvertError on overflow.
  static int64_t Scaled(int64_t AValue, int64_t AFactor);
};

class TUC_Byte2Byte : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return AValue; }
};
class TUC_KByte2Byte : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return Scaled(AValue, 1024); }
};
class TUC_MByte2Byte : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return Scaled(AValue, 0x100000); }
};
// Bits to whole bytes, rounded up so that no bit named is left out.
class TUC_Bit2Byte : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return AValue / 8 + (AValue % 8 != 0); }
};
class TUC_KBit2Byte : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return Scaled(AValue, 1024 / 8); }
};
class TUC_MBit2Byte : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return Scaled(AValue, 0x100000 / 8); }
};
class TUC_Hz2Hz : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return AValue; }
};
class TUC_KHz2Hz : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override { return Scaled(AValue, 1000); }
};
class TUC_MHz2Hz : public TUnitConvertor {
protected:
  int64_t InternalConvert(int64_t AValue) const override {
    return Scaled(Scaled(AValue, 1000), 1000);
  }
};

// One item of a unit list: its text and the converter it carries.
struct TUnitListItem {
  const wchar_t* Text;
  std::unique_ptr<TUnitConvertor> (*Make)();
};

// The size list ("Byte" first) and the clock lists ("Hz" first), in list
// order.
std::span<const TUnitListItem> FlashSizeUnits();
std::span<const TUnitListItem> ClockFrequencyUnits();

// The converter of a unit text of either list (exact text); nullptr for a
// text that is no unit.
std::unique_ptr<TUnitConvertor> MakeUnitConvertor(std::wstring_view AUnit);

// A number as the user typed it (TryParseSize: "0x" hex, "_" separators, a
// final "k" or "m"), converted by AConvertor. False, and AValue 0, for text
// that does not parse or a result that does not fit in 64 bits.
bool TryConvertUnitText(const std::wstring& AText, const TUnitConvertor& AConvertor,
                        int64_t& AValue);
