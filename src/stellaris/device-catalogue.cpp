#include "device-catalogue.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>

namespace {

constexpr TPinParameters EmptyPin{L"", L"", L"", L"", 0, 0};

wchar_t FoldCase(wchar_t AChar) {
  return (AChar >= L'a' && AChar <= L'z') ? static_cast<wchar_t>(AChar - L'a' + L'A') : AChar;
}

bool SameIgnoringCase(std::wstring_view ALeft, std::wstring_view ARight) {
  return ALeft.size() == ARight.size() &&
         std::equal(ALeft.begin(), ALeft.end(), ARight.begin(),
                    [](wchar_t a, wchar_t b) { return FoldCase(a) == FoldCase(b); });
}

std::size_t EditDistance(std::wstring_view ALeft, std::wstring_view ARight) {
  std::vector<std::size_t> row(ARight.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= ALeft.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= ARight.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = FoldCase(ALeft[i - 1]) == FoldCase(ARight[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[ARight.size()];
}

// The index-th set bit of a mask, counted from bit 0; -1 when there is none.
int NthSetBit(std::uint32_t AMask, int AIndex, int ABitCount) {
  if (AIndex < 0)
    return -1;
  for (int bit = 0; bit < ABitCount; ++bit) {
    if ((AMask >> bit) & 1u) {
      if (AIndex == 0)
        return bit;
      --AIndex;
    }
  }
  return -1;
}

int SetBitCount(std::uint32_t AMask, int ABitCount) {
  int count = 0;
  for (int bit = 0; bit < ABitCount; ++bit)
    count += (AMask >> bit) & 1u;
  return count;
}

} // namespace

bool IsDeviceKind(int AKind) {
  return AKind >= 0 && AKind < DeviceKindCount;
}

const TDeviceRecord& DeviceRecord(int AKind) {
  if (!IsDeviceKind(AKind))
    throw std::out_of_range("device kind " + std::to_string(AKind) + " is not in the catalogue");
  return TDeviceParameters[AKind];
}

std::wstring_view DeviceFullName(int AKind) {
  return DeviceRecord(AKind).FullName;
}

std::wstring_view DeviceBaseName(int AKind) {
  return DeviceBaseNameRecord(AKind).Name;
}

std::wstring_view DeviceFamilyName(int AKind) {
  return TFamilyNames[DeviceRecord(AKind).FamilyName];
}

const TBaseNameRecord& DeviceBaseNameRecord(int AKind) {
  return TBaseNameIdParameters[DeviceRecord(AKind).BaseName];
}

const TPackageRecord& DevicePackageInfo(int AKind) {
  return TPackageParameters[DeviceRecord(AKind).Package];
}

const TPackageTypeRecord& DevicePackageTypeInfo(int AKind) {
  return TPackageTypeParameters[DeviceRecord(AKind).PackageType];
}

const TGradeRecord& DeviceSpeedGrade(int AKind) {
  return TSpeedGradeParameters[DeviceRecord(AKind).SpeedGrade];
}

const TGradeRecord& DeviceTemperatureGrade(int AKind) {
  return TTemperatureGradeParameters[DeviceRecord(AKind).TemperatureGrade];
}

const TGradeRecord& DeviceOptionDesignator(int AKind) {
  return TOptionDesignatorParameters[DeviceRecord(AKind).OptionDesignator];
}

const TDevicePackageRecord& DevicePackageRecord(int AKind) {
  return TDevicePackageParameters[DeviceRecord(AKind).DevicePackage];
}

std::wstring_view DeviceBSDLName(int AKind) {
  return DeviceRecord(AKind).BSDL;
}

int DeviceFlashSizeKB(int AKind) {
  return FlashWriterSizeKB(DeviceRecord(AKind).RemoteExecutionDriver);
}

int DeviceSramSizeKB(int AKind) {
  return DeviceBaseNameRecord(AKind).SramSizeKB;
}

int FlashWriterSizeKB(TFlashWriterClass AClass) {
  static constexpr int Sizes[] = {0, 8, 16, 32, 64, 96, 128, 256};
  const auto index = static_cast<std::size_t>(AClass);
  return index < std::size(Sizes) ? Sizes[index] : 0;
}

std::wstring_view ProcessorDeviceName(int AKind) {
  const TDeviceRecord& row = DeviceRecord(AKind);
  const std::wstring_view base = TBaseNameIdParameters[row.BaseName].Name;
  // A named base of the family wins over the family's default entry.
  const TProcessorDeviceNameRecord* familyDefault = nullptr;
  for (const TProcessorDeviceNameRecord& entry : TProcessorDeviceNames) {
    if (entry.Family != row.FamilyName)
      continue;
    if (entry.BaseName == nullptr)
      familyDefault = &entry;
    else if (base == entry.BaseName)
      return entry.Answer;
  }
  return familyDefault ? familyDefault->Answer : std::wstring_view{};
}

int DevicePinCount(int AKind) {
  return TPinSetParameters[DeviceRecord(AKind).PinSet].PinCount;
}

const TPinParameters& PinSetPin(TDevicePinSet ASet, int AIndex) {
  if (ASet < 0 || ASet >= DevicePinSetCount)
    return EmptyPin;
  const TPinSetRecord& set = TPinSetParameters[ASet];
  if (AIndex < 0 || AIndex >= set.PinCount)
    return EmptyPin;
  return set.Pins[AIndex];
}

const TPinParameters& DevicePin(int AKind, int AIndex) {
  return PinSetPin(DeviceRecord(AKind).PinSet, AIndex);
}

std::wstring_view DevicePinName(int AKind, int AIndex) {
  return DevicePin(AKind, AIndex).PinNumber;
}

int IOStandardCount(std::uint32_t AStandards) {
  return SetBitCount(AStandards, DeviceIOStandardIDCount);
}

std::optional<TDeviceIOStandardID> IOStandardAt(std::uint32_t AStandards, int AIndex) {
  const int bit = NthSetBit(AStandards, AIndex, DeviceIOStandardIDCount);
  if (bit < 0)
    return std::nullopt;
  return static_cast<TDeviceIOStandardID>(bit);
}

std::wstring_view SlewName(std::uint8_t ASlew, int AIndex) {
  const int bit = NthSetBit(ASlew, AIndex, SlewNameCount);
  return bit < 0 ? std::wstring_view{} : TSlewNames[bit];
}

std::wstring_view DriveStrengthName(std::uint32_t ADrive, int AIndex) {
  const int bit = NthSetBit(ADrive, AIndex, DriveStrengthNameCount);
  return bit < 0 ? std::wstring_view{} : TDriveStrengthNames[bit];
}

std::optional<TDeviceKind> FindDeviceKind(std::wstring_view AFullName) {
  for (const TDeviceRecord& row : TDeviceParameters)
    if (SameIgnoringCase(row.FullName, AFullName))
      return row.Kind;
  return std::nullopt;
}

std::vector<TDeviceKind> ClosestDeviceKinds(std::wstring_view AName, std::size_t AMaxCount) {
  std::vector<std::pair<std::size_t, TDeviceKind>> ranked;
  ranked.reserve(DeviceKindCount);
  for (const TDeviceRecord& row : TDeviceParameters)
    ranked.emplace_back(EditDistance(AName, row.FullName), row.Kind);
  // stable_sort keeps kind order among names at the same distance.
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TDeviceKind> result;
  for (std::size_t i = 0; i < ranked.size() && i < AMaxCount; ++i)
    result.push_back(ranked[i].second);
  return result;
}
