#include "device-catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

std::wstring Lower(std::wstring_view AText) {
  std::wstring result(AText);
  for (wchar_t& c : result)
    c = static_cast<wchar_t>(std::towlower(c));
  return result;
}

std::wstring_view PinSetName(TDevicePinSet ASet) {
  return TPinSetNames[ASet];
}

int KindOf(std::wstring_view AFullName) {
  const auto kind = FindDeviceKind(AFullName);
  EXPECT_TRUE(kind.has_value()) << std::string(AFullName.begin(), AFullName.end());
  return kind ? static_cast<int>(*kind) : -1;
}

std::vector<std::wstring> PinNames(TDevicePinSet ASet) {
  std::vector<std::wstring> names;
  for (int i = 0; i < TPinSetParameters[ASet].PinCount; ++i)
    names.emplace_back(PinSetPin(ASet, i).PinNumber);
  return names;
}

bool IsBgaBall(std::wstring_view AName) {
  if (AName.size() < 2 || AName.size() > 3)
    return false;
  const std::wstring_view rows = L"ABCDEFGHJKLM";
  const auto row = rows.find(AName[0]);
  const int column = std::stoi(std::wstring(AName.substr(1)));
  if (row == std::wstring_view::npos || column < 1 || column > 12)
    return false;
  // The centre 6 x 6 of the 12 x 12 grid carries no balls.
  return !(row >= 3 && row <= 8 && column >= 4 && column <= 9);
}

} // namespace

TEST(StellarisTables, EveryTableHasItsSize) {
  EXPECT_EQ(DeviceKindCount, 876);
  EXPECT_EQ(BaseNameIdCount, 177);
  EXPECT_EQ(FamilyNameIdCount, 11);
  EXPECT_EQ(PackageCount, 5);
  EXPECT_EQ(PackageTypeCount, 5);
  EXPECT_EQ(SpeedGradeCount, 4);
  EXPECT_EQ(TemperatureGradeCount, 2);
  EXPECT_EQ(OptionDesignatorCount, 9);
  EXPECT_EQ(DevicePinSetCount, 259);
  EXPECT_EQ(DevicePackageCount, 337);
  EXPECT_EQ(DeviceIOStandardIDCount, 1);
  EXPECT_EQ(BSDLNameCount, 302);
  EXPECT_EQ(SlewNameCount, 3);
  EXPECT_EQ(DriveStrengthNameCount, 21);
  static_assert(eLM3S101_IQN20_C2 == 0 && eLM3S9997_IBZ80_C5T == 875);
  static_assert(eLM3S101 == 0 && eLM3S9L97 == 176);
  static_assert(eFamilyName_Stellaris100 == 0 && eFamilyName_Stellaris9000 == 10);
  static_assert(eOptionDesignator_None == 8 && eSt_None == 0);
}

TEST(StellarisTables, FirstKindIsLM3S101InLqfp48) {
  const TDeviceRecord& row = DeviceRecord(0);
  EXPECT_EQ(row.Kind, eLM3S101_IQN20_C2);
  EXPECT_EQ(DeviceFullName(0), L"LM3S101-IQN20-C2");
  EXPECT_EQ(DeviceFamilyName(0), L"Stellaris100");
  EXPECT_EQ(DeviceBaseName(0), L"LM3S101");
  EXPECT_EQ(row.IdCode, 0x3BA00477u);
  EXPECT_EQ(row.InstructionLength, 4);
  EXPECT_EQ(std::wstring_view(DevicePackageInfo(0).Id), L"QN48");
  EXPECT_EQ(std::wstring_view(DevicePackageInfo(0).Name), L"LQFP48");
  EXPECT_EQ(std::wstring_view(DevicePackageInfo(0).Description),
            L"48-Pin Low Profile Quad Flat Pack");
  EXPECT_EQ(std::wstring_view(DevicePackageInfo(0).Dimensions), L"9 x 9 mm");
  EXPECT_EQ(std::wstring_view(DevicePackageTypeInfo(0).Id), L"QN");
  EXPECT_EQ(std::wstring_view(DevicePackageTypeInfo(0).Name), L"LQFP");
  EXPECT_EQ(std::wstring_view(DevicePackageTypeInfo(0).Description), L"48-Pin LQFP");
  EXPECT_EQ(std::wstring_view(DeviceTemperatureGrade(0).Id), L"I");
  EXPECT_EQ(std::wstring_view(DeviceTemperatureGrade(0).Name), L"Industrial Temperature");
  EXPECT_EQ(std::wstring_view(DeviceTemperatureGrade(0).Description), L"-40\u00B0C to +85\u00B0C");
  EXPECT_EQ(std::wstring_view(DeviceSpeedGrade(0).Id), L"20");
  EXPECT_EQ(std::wstring_view(DeviceSpeedGrade(0).Description), L"20 MHz");
  EXPECT_EQ(std::wstring_view(DeviceOptionDesignator(0).Id), L"C2");
  EXPECT_EQ(std::wstring_view(DeviceOptionDesignator(0).Name), L"C2");
  EXPECT_EQ(std::wstring_view(DeviceOptionDesignator(0).Description), L"Rev C0");
  EXPECT_EQ(DeviceBSDLName(0), L"lm3s101_rc2_lqfp_v1p0.bsdl");
  EXPECT_EQ(DevicePinCount(0), 48);
  EXPECT_EQ(DevicePinName(0, 0), L"1");
  EXPECT_EQ(DevicePinName(0, 47), L"48");
  EXPECT_EQ(DevicePackageRecord(0).MemorySize, 8);
  EXPECT_EQ(DeviceBaseNameRecord(0).MaxIO, 18);
  EXPECT_EQ(row.RemoteExecutionDriver, TFlashWriterClass::Luminary8);
  EXPECT_EQ(ProcessorDeviceName(0), L"LM3S100");
}

TEST(StellarisTables, LastKindIsLM3S9997InBga108) {
  const TDeviceRecord& row = DeviceRecord(875);
  EXPECT_EQ(DeviceFullName(875), L"LM3S9997-IBZ80-C5T");
  EXPECT_EQ(DeviceFamilyName(875), L"Stellaris9000");
  EXPECT_EQ(std::wstring_view(DevicePackageInfo(875).Id), L"BZ108");
  EXPECT_EQ(std::wstring_view(DevicePackageInfo(875).Name), L"BGA108");
  EXPECT_EQ(std::wstring_view(DevicePackageTypeInfo(875).Description), L"108-Ball BGA");
  EXPECT_EQ(std::wstring_view(DeviceOptionDesignator(875).Description), L"Rev C2");
  EXPECT_EQ(std::wstring_view(DeviceSpeedGrade(875).Name), L"80");
  EXPECT_EQ(DeviceBSDLName(875), L"lm3s9997_rc0_bga_v1p0.bsdl");
  EXPECT_EQ(DevicePackageRecord(875).MemorySize, 256);
  EXPECT_EQ(DevicePinCount(875), 108);
  EXPECT_EQ(row.RemoteExecutionDriver, TFlashWriterClass::Luminary256);
  EXPECT_EQ(ProcessorDeviceName(875), L"LM3S9000");
}

TEST(StellarisTables, DegreeSignIsOneWideCharacter) {
  const std::wstring_view extended = TTemperatureGradeParameters[eTemperatureGrade_E].Description;
  EXPECT_EQ(extended, L"-40\u00B0C to +105\u00B0C");
  ASSERT_EQ(extended.size(), 15u);
  EXPECT_EQ(static_cast<unsigned>(extended[3]), 0xB0u);
  EXPECT_EQ(static_cast<unsigned>(extended[13]), 0xB0u);
  EXPECT_EQ(std::wstring_view(TTemperatureGradeParameters[eTemperatureGrade_E].Name),
            L"Extended Temperature");
}

TEST(StellarisTables, KindOutsideTheCatalogueThrows) {
  for (int kind : {-1, 876, INT_MIN, INT_MAX}) {
    EXPECT_FALSE(IsDeviceKind(kind));
    EXPECT_THROW(DeviceRecord(kind), std::out_of_range);
    EXPECT_THROW(DeviceFullName(kind), std::out_of_range);
    EXPECT_THROW(DevicePin(kind, 0), std::out_of_range);
  }
}

// Rows whose boundary-scan file is not the one named after their own base
// and package, and their neighbours that follow the rule.
TEST(StellarisTables, BoundaryScanFileFollowsBaseAndPackageWithThreeExceptions) {
  const struct {
    const wchar_t* FullName;
    const wchar_t* BSDL;
  } cases[] = {
      {L"LM3S808-IGZ50-C2", L"lm3s808_rc2_lqfp_v1p0.bsdl"},
      {L"LM3S808-EGZ50-C2T", L"lm3s808_rc2_lqfp_v1p0.bsdl"},
      {L"LM3S808-IQN50-C2", L"lm3s808_rc2_lqfp_v1p0.bsdl"},
      {L"LM3S811-IGZ50-C2", L"lm3s808_rc2_qfn_v1p0.bsdl"},
      {L"LM3S811-EGZ50-C2T", L"lm3s808_rc2_qfn_v1p0.bsdl"},
      {L"LM3S811-IQN50-C2", L"lm3s811_rc2_lqfp_v1p0.bsdl"},
      {L"LM3S812-IGZ50-C2", L"lm3s812_rc2_qfn_v1p0.bsdl"},
      {L"LM3S1969-IQC50-A2", L"SPMM064_lm3s1968_ra2_lqfp_v1p0.bsdl"},
      {L"LM3S1968-IQC50-A2", L"SPMM064_lm3s1968_ra2_lqfp_v1p0.bsdl"},
      {L"LM3S1968-IBZ50-A2", L"lm3s1968_ra2_bga_v1p0.bsdl"},
      {L"LM3S1J11-IQC50-C5", L"SPMM152_lm3s1j11_rc0_lqfp_v1p0.bsdl"},
      {L"LM3S6965-IQC50-A2", L"spmm113a_lm3s6965_ra2_lqfp_v1p1.bsdl"},
      {L"LM3S6965-IBZ50-A2T", L"spmm275a_lm3s6965_ra2_bga_v1p1.bsdl"},
  };
  for (const auto& c : cases) {
    const int kind = KindOf(c.FullName);
    EXPECT_EQ(DeviceBSDLName(kind), c.BSDL) << kind;
    EXPECT_EQ(std::wstring_view(TBSDLNames[DeviceRecord(kind).BSDLIndex]), c.BSDL) << kind;
  }
}

TEST(StellarisTables, LM3S1969SharesTheLM3S1968Layout) {
  EXPECT_EQ(KindOf(L"LM3S1969-IQC50-A2"), 434);
  EXPECT_EQ(KindOf(L"LM3S1969-IQC50-A2T"), 435);
  EXPECT_EQ(DeviceFullName(433), L"LM3S1968-IQC50-A2T");
  EXPECT_EQ(DeviceFullName(436), L"LM3S2B93-IQC80-C5");
  for (int kind : {434, 435}) {
    const TDeviceRecord& row = DeviceRecord(kind);
    EXPECT_EQ(row.PinSet, ePinSet_LM3S1968QC);
    EXPECT_EQ(row.Package, ePackage_QC100);
    EXPECT_EQ(row.DevicePackage, eDevicePackage_LM3S1969_QC100);
    EXPECT_EQ(DeviceFamilyName(kind), L"Stellaris1000");
    EXPECT_EQ(DeviceFlashSizeKB(kind), 256);
    EXPECT_EQ(DeviceBaseNameRecord(kind).MaxIO, 52);
    EXPECT_EQ(DevicePinCount(kind), 100);
    EXPECT_EQ(ProcessorDeviceName(kind), L"LM3S1000");
  }
  EXPECT_EQ(ProcessorDeviceName(KindOf(L"LM3S1968-IQC50-A2")), L"LM3S1968");
}

TEST(StellarisTables, LM3S5737ListsPin68Twice) {
  for (int kind : {632, 633}) {
    EXPECT_EQ(DeviceRecord(kind).PinSet, ePinSet_LM3S5737QC);
    EXPECT_EQ(DevicePinCount(kind), 101);
  }
  EXPECT_EQ(DeviceFullName(632), L"LM3S5737-IQC50-A0");
  EXPECT_EQ(DeviceFullName(633), L"LM3S5737-IQC50-A0T");
  const auto names = PinNames(ePinSet_LM3S5737QC);
  EXPECT_EQ(std::count(names.begin(), names.end(), L"68"), 2);
  std::set<std::wstring> distinct(names.begin(), names.end());
  EXPECT_EQ(distinct.size(), 100u);
}

TEST(StellarisTables, KnownPinEntriesAreInPlace) {
  const std::vector<std::wstring> qc = PinNames(ePinSet_LM3S1B21QC);
  const std::vector<std::wstring> qcStart{L"1", L"2", L"5", L"6", L"10", L"11", L"12"};
  EXPECT_TRUE(std::equal(qcStart.begin(), qcStart.end(), qc.begin()));
  const std::vector<std::wstring> bz = PinNames(ePinSet_LM3S1B21BZ);
  const std::vector<std::wstring> bzStart{L"A5",  L"C5",  L"E10", L"G10",
                                          L"G11", L"J10", L"K7",  L"L12"};
  EXPECT_TRUE(std::equal(bzStart.begin(), bzStart.end(), bz.begin()));

  const TPinParameters& diffPin = PinSetPin(ePinSet_LM3S9792QC, 87);
  EXPECT_EQ(std::wstring_view(diffPin.PinNumber), L"85");
  EXPECT_EQ(std::wstring_view(diffPin.DiffId), L"7");
  EXPECT_EQ(DevicePin(KindOf(L"LM3S9792-IQC80-C5"), 87).DiffId, std::wstring_view(L"7"));
}

TEST(StellarisTables, PinIndexOutsideTheSetGivesTheEmptyPin) {
  for (int index : {-1, 48, 107, 108, 1000, INT_MIN}) {
    const TPinParameters& pin = DevicePin(0, index);
    ASSERT_NE(pin.PinNumber, nullptr);
    EXPECT_EQ(std::wstring_view(pin.PinNumber), L"") << index;
    EXPECT_EQ(std::wstring_view(pin.DiffId), L"");
    EXPECT_EQ(pin.Options, 0);
  }
  EXPECT_EQ(
      std::wstring_view(PinSetPin(static_cast<TDevicePinSet>(DevicePinSetCount), 0).PinNumber),
      L"");
}

TEST(StellarisTables, FullNameLookupIgnoresLetterCase) {
  EXPECT_EQ(FindDeviceKind(L"lm3s9997-ibz80-c5t"), eLM3S9997_IBZ80_C5T);
  EXPECT_EQ(FindDeviceKind(L"Lm3S1B21-iqc80-C5"), eLM3S1B21_IQC80_C5);
  EXPECT_FALSE(FindDeviceKind(L"LM3S9997").has_value());
  EXPECT_FALSE(FindDeviceKind(L"LM3S9997-IBZ80-C5T ").has_value());
  EXPECT_FALSE(FindDeviceKind(L"").has_value());
}

TEST(StellarisTables, ClosestNamesPutTheNearestFirst) {
  auto closest = ClosestDeviceKinds(L"lm3s101-iqn20-c3", 3);
  ASSERT_EQ(closest.size(), 3u);
  EXPECT_EQ(closest[0], eLM3S101_IQN20_C2);

  closest = ClosestDeviceKinds(L"LM3S6965IQC50A2", 1);
  ASSERT_EQ(closest.size(), 1u);
  EXPECT_EQ(closest[0], eLM3S6965_IQC50_A2);

  closest = ClosestDeviceKinds(L"LM3S1968-IBZ50-A2T", 5);
  ASSERT_EQ(closest.size(), 5u);
  EXPECT_EQ(closest[0], eLM3S1968_IBZ50_A2T);
  EXPECT_TRUE(ClosestDeviceKinds(L"x", 0).empty());
}

TEST(StellarisTables, ProcessorDeviceNamePicksTheReferencePart) {
  const struct {
    const wchar_t* FullName;
    const wchar_t* Answer;
  } cases[] = {
      {L"LM3S102-IGZ20-C2", L"LM3S100"},   {L"LM3S328-IQN25-C2", L"LM3S300"},
      {L"LM3S628-IQN50-C2", L"LM3S600"},   {L"LM3S811-IQN50-C2", L"LM3S811"},
      {L"LM3S817-IQN50-C2", L"LM3S800"},   {L"LM3S2110-IQC25-A2", L"LM3S2110"},
      {L"LM3S2965-IBZ50-A2", L"LM3S2965"}, {L"LM3S2B93-IBZ80-C5", L"LM3S2000"},
      {L"LM3S3748-IQC50-A0", L"LM3S3748"}, {L"LM3S3J26-IQR50-C5", L"LM3S3000"},
      {L"LM3S5B91-IQC80-C5", L"LM3S5000"}, {L"LM3S6965-IQC50-A2", L"LM3S6965"},
      {L"LM3S6100-IQC25-A2", L"LM3S6000"}, {L"LM3S8962-IQC50-A2", L"LM3S8962"},
      {L"LM3S8971-IQC50-A2", L"LM3S8000"}, {L"LM3S9B96-IQC80-C5", L"LM3S9B96"},
      {L"LM3S9L97-IQC80-C5", L"LM3S9000"}, {L"LM3S1J16-IQR50-C5", L"LM3S1000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProcessorDeviceName(KindOf(c.FullName)), c.Answer)
        << std::string(c.FullName, c.FullName + wcslen(c.FullName));
}

// Hand-read from the catalogue lists: kinds at group boundaries and the
// per-base figures, so that one extraction mistake shared by the generator
// and the invariants below still shows.
TEST(StellarisTables, SpotChecksAgreeWithTheCatalogue) {
  const struct {
    int Kind;
    const wchar_t* FullName;
    const wchar_t* Family;
    int FlashKB;
    int MaxIO;
    int Pins;
  } cases[] = {
      {8, L"LM3S102-IQN20-C2", L"Stellaris100", 8, 18, 48},
      {31, L"LM3S301-EGZ20-C2T", L"Stellaris300", 16, 33, 48},
      {188, L"LM3S808-IGZ50-C2", L"Stellaris800", 64, 28, 48},
      {192, L"LM3S811-IQN50-C2", L"Stellaris800", 64, 32, 48},
      {239, L"LM3S828-EGZ50-C2T", L"Stellaris800", 64, 28, 48},
      {240, L"LM3S1B21-IQC80-C5", L"Stellaris1000", 256, 67, 100},
      {248, L"LM3S1J16-IQR50-C5", L"Stellaris1000", 128, 33, 64},
      {266, L"LM3S1110-IBZ25-A2", L"Stellaris1000", 64, 41, 108},
      {320, L"LM3S1512-IBZ25-A2", L"Stellaris1000", 96, 58, 108},
      {436, L"LM3S2B93-IQC80-C5", L"Stellaris2000", 256, 67, 100},
      {566, L"LM3S3J26-IQR50-C5", L"Stellaris3000", 128, 33, 64},
      {618, L"LM3S5632-IQR50-A0", L"Stellaris5000", 128, 33, 64},
      {624, L"LM3S5652-IQR50-A0", L"Stellaris5000", 128, 33, 64},
      {690, L"LM3S6610-IBZ25-A2", L"Stellaris6000", 128, 46, 108},
      {696, L"LM3S6611-IBZ50-A2", L"Stellaris6000", 128, 46, 108},
      {840, L"LM3S9B81-IQC80-C5", L"Stellaris9000", 256, 65, 100},
      {872, L"LM3S9997-IQC80-C5", L"Stellaris9000", 256, 60, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Kind);
    EXPECT_EQ(DeviceFullName(c.Kind), c.FullName);
    EXPECT_EQ(DeviceFamilyName(c.Kind), c.Family);
    EXPECT_EQ(DeviceFlashSizeKB(c.Kind), c.FlashKB);
    EXPECT_EQ(DeviceBaseNameRecord(c.Kind).MaxIO, c.MaxIO);
    EXPECT_EQ(DevicePinCount(c.Kind), c.Pins);
  }
}

TEST(StellarisTables, SharedPinSetsFollowTheLayoutList) {
  const struct {
    const wchar_t* FullName;
    TDevicePinSet Set;
  } cases[] = {
      {L"LM3S1J16-IQR50-C5", ePinSet_LM3S1X16QR}, {L"LM3S1N16-IQR50-C5", ePinSet_LM3S1X16QR},
      {L"LM3S1W16-IQR50-C5", ePinSet_LM3S1X16QR}, {L"LM3S1Z16-IQR50-C5T", ePinSet_LM3S1X16QR},
      {L"LM3S2793-IQC80-C5", ePinSet_LM3S2B93QC}, {L"LM3S2793-IBZ80-C5", ePinSet_LM3S2B93BZ},
      {L"LM3S3826-IQR50-C5", ePinSet_LM3S3J26QR}, {L"LM3S3N26-IQR50-C5", ePinSet_LM3S3J26QR},
      {L"LM3S5P31-IBZ80-C5", ePinSet_LM3S5K31BZ}, {L"LM3S5Y36-IQR80-C5", ePinSet_LM3S5K36QR},
      {L"LM3S5951-IQC80-C5", ePinSet_LM3S5651QC}, {L"LM3S5956-IQR80-C5", ePinSet_LM3S5656QR},
      {L"LM3S5R36-IQR80-C5", ePinSet_LM3S5R36QR}, {L"LM3S808-IGZ50-C2", ePinSet_LM3S808QN},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DeviceRecord(KindOf(c.FullName)).PinSet, c.Set) << static_cast<int>(c.Set);
}

TEST(StellarisTables, EveryRowAgreesWithItsName) {
  for (int kind = 0; kind < DeviceKindCount; ++kind) {
    SCOPED_TRACE(kind);
    const TDeviceRecord& row = TDeviceParameters[kind];
    ASSERT_EQ(row.Kind, kind);
    const std::wstring base = TBaseNameIdParameters[row.BaseName].Name;
    const std::wstring expected =
        base + L"-" + TTemperatureGradeParameters[row.TemperatureGrade].Id +
        TPackageTypeParameters[row.PackageType].Id + TSpeedGradeParameters[row.SpeedGrade].Id +
        L"-" + TOptionDesignatorParameters[row.OptionDesignator].Id;
    EXPECT_EQ(std::wstring_view(row.FullName), expected);
    EXPECT_EQ(std::wstring_view(TPackageParameters[row.Package].Id).substr(0, 2),
              std::wstring_view(TPackageTypeParameters[row.PackageType].Id));
    const std::wstring digits = base.substr(4);
    const std::wstring family =
        L"Stellaris" + digits.substr(0, 1) + std::wstring(digits.size() - 1, L'0');
    EXPECT_EQ(std::wstring_view(TFamilyNames[row.FamilyName]), family);
    EXPECT_EQ(row.IdCode, 0x3BA00477u);
    EXPECT_EQ(row.InstructionLength, 4);
    EXPECT_EQ(row.RemoteExecutionDriverData, TFlashWriterClass::None);
    EXPECT_EQ(FindDeviceKind(Lower(row.FullName)), row.Kind);
  }
}

TEST(StellarisTables, FlashClassEqualsDevicePackageMemorySize) {
  for (int kind = 0; kind < DeviceKindCount; ++kind) {
    SCOPED_TRACE(kind);
    const TDeviceRecord& row = TDeviceParameters[kind];
    const int flash = FlashWriterSizeKB(row.RemoteExecutionDriver);
    EXPECT_EQ(TDevicePackageParameters[row.DevicePackage].MemorySize, flash);
    EXPECT_EQ(TBaseNameIdParameters[row.BaseName].FlashSizeKB, flash);
    EXPECT_EQ(TDevicePackageKeys[row.DevicePackage].BaseName, row.BaseName);
    EXPECT_EQ(TDevicePackageKeys[row.DevicePackage].Package, row.Package);
    EXPECT_GE(DeviceSramSizeKB(kind), 4);
  }
}

TEST(StellarisTables, DevicePackagesHoldOnlyTheMemorySize) {
  std::set<int> used;
  for (const TDeviceRecord& row : TDeviceParameters)
    used.insert(row.DevicePackage);
  EXPECT_EQ(used.size(), 304u);
  std::set<std::pair<int, int>> keys;
  for (int i = 0; i < DevicePackageCount; ++i) {
    const TDevicePackageRecord& record = TDevicePackageParameters[i];
    EXPECT_EQ(record.DSPMultiplierCount, 0);
    EXPECT_EQ(record.ClockManagerCount, 0);
    EXPECT_FALSE(record.TerminationSupport);
    EXPECT_EQ(record.GlobalClockCount, 0);
    EXPECT_EQ(record.ConfigMemorySize, 0);
    keys.emplace(TDevicePackageKeys[i].BaseName, TDevicePackageKeys[i].Package);
  }
  EXPECT_EQ(keys.size(), static_cast<std::size_t>(DevicePackageCount));
}

TEST(StellarisTables, GzRowsUseTheQnPinSetOfTheirBase) {
  std::map<int, int> qnSetOfBase;
  for (const TDeviceRecord& row : TDeviceParameters)
    if (row.PackageType == ePackageType_QN)
      qnSetOfBase[row.BaseName] = row.PinSet;
  int gzRows = 0;
  for (const TDeviceRecord& row : TDeviceParameters) {
    if (row.PackageType != ePackageType_GZ)
      continue;
    ++gzRows;
    ASSERT_TRUE(qnSetOfBase.count(row.BaseName)) << row.Kind;
    EXPECT_EQ(row.PinSet, qnSetOfBase[row.BaseName]) << row.Kind;
  }
  EXPECT_EQ(gzRows, 120);
}

TEST(StellarisTables, OwnPinSetIsNamedAfterBaseAndPackageType) {
  const std::set<std::wstring> sharing{L"LM3S1J16", L"LM3S1N16", L"LM3S1W16", L"LM3S1Z16",
                                       L"LM3S1969", L"LM3S2793", L"LM3S3N26", L"LM3S3W26",
                                       L"LM3S3Z26", L"LM3S3826", L"LM3S5P31", L"LM3S5P36",
                                       L"LM3S5T36", L"LM3S5Y36", L"LM3S5951", L"LM3S5956"};
  for (const TDeviceRecord& row : TDeviceParameters) {
    const std::wstring base = TBaseNameIdParameters[row.BaseName].Name;
    if (sharing.count(base) || row.PackageType == ePackageType_GZ)
      continue;
    EXPECT_EQ(PinSetName(row.PinSet),
              L"ePinSet_" + base + TPackageTypeParameters[row.PackageType].Id)
        << row.Kind;
  }
}

TEST(StellarisTables, OnlyThreePinSetsAreUnused) {
  std::set<int> used;
  for (const TDeviceRecord& row : TDeviceParameters)
    used.insert(row.PinSet);
  std::set<std::wstring_view> unused;
  for (int set = 0; set < DevicePinSetCount; ++set)
    if (!used.count(set))
      unused.insert(TPinSetNames[set]);
  EXPECT_EQ(unused, (std::set<std::wstring_view>{L"ePinSet_LM3S1J16QR", L"ePinSet_LM3S2276QR",
                                                 L"ePinSet_LM3S2919QC"}));
}

TEST(StellarisTables, EveryBoundaryScanFileIsUsed) {
  std::vector<int> uses(BSDLNameCount);
  for (const TDeviceRecord& row : TDeviceParameters) {
    ASSERT_GE(row.BSDLIndex, 0);
    ASSERT_LT(row.BSDLIndex, BSDLNameCount);
    EXPECT_EQ(std::wstring_view(TBSDLNames[row.BSDLIndex]), std::wstring_view(row.BSDL));
    ++uses[row.BSDLIndex];
  }
  for (int i = 0; i < BSDLNameCount; ++i)
    EXPECT_GT(uses[i], 0) << i;
  std::set<std::wstring> lowerNames;
  for (const wchar_t* name : TBSDLNames)
    lowerNames.insert(Lower(name));
  EXPECT_EQ(lowerNames.size(), static_cast<std::size_t>(BSDLNameCount));
}

TEST(StellarisTables, BoundaryScanFileNamesBaseAndPackageWord) {
  for (const TDeviceRecord& row : TDeviceParameters) {
    const std::wstring base = Lower(TBaseNameIdParameters[row.BaseName].Name);
    if ((base == L"lm3s808" || base == L"lm3s811") && row.Package == ePackage_GZ48)
      continue;
    if (base == L"lm3s1969")
      continue;
    const std::wstring name = row.BSDL;
    const bool namesBase =
        name.rfind(base + L"_", 0) == 0 || name.find(L"_" + base + L"_") != std::wstring::npos;
    EXPECT_TRUE(namesBase) << row.Kind;
    const wchar_t* word = row.Package == ePackage_BZ108  ? L"_bga_"
                          : row.Package == ePackage_GZ48 ? L"_qfn_"
                                                         : L"_lqfp_";
    EXPECT_NE(name.find(word), std::wstring::npos) << row.Kind;
  }
}

TEST(StellarisTables, PinSetsFollowTheirPackage) {
  int fortyEightPinSets = 0;
  for (int set = 0; set < DevicePinSetCount; ++set) {
    const std::wstring_view name = TPinSetNames[set];
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    const std::wstring_view type = name.substr(name.size() - 2);
    const TPinSetRecord& record = TPinSetParameters[set];
    EXPECT_EQ(record.IOCount, 0);
    EXPECT_EQ(record.DiffCount, 0);
    EXPECT_EQ(record.HSpeedDiffCount, 0);
    EXPECT_EQ(record.Standards, 0u);
    const auto names = PinNames(static_cast<TDevicePinSet>(set));
    if (type == L"QN") {
      ++fortyEightPinSets;
      ASSERT_EQ(record.PinCount, 48);
      for (int i = 0; i < 48; ++i)
        EXPECT_EQ(names[i], std::to_wstring(i + 1));
    } else if (type == L"QR" || type == L"QC") {
      const int count = type == L"QR" ? 64 : 100;
      if (name == L"ePinSet_LM3S5737QC")
        continue;
      ASSERT_EQ(record.PinCount, count);
      std::set<int> numbers;
      for (const auto& pin : names)
        numbers.insert(std::stoi(pin));
      EXPECT_EQ(numbers.size(), static_cast<std::size_t>(count));
      EXPECT_EQ(*numbers.begin(), 1);
      EXPECT_EQ(*numbers.rbegin(), count);
    } else {
      ASSERT_EQ(type, L"BZ");
      ASSERT_EQ(record.PinCount, 108);
      EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()).size(), 108u);
      for (const auto& pin : names)
        EXPECT_TRUE(IsBgaBall(pin)) << std::string(pin.begin(), pin.end());
    }
  }
  EXPECT_EQ(fortyEightPinSets, 30);
}

TEST(StellarisTables, NoPinCarriesFlagsOrStandardsAndOnlyOneADiffId) {
  int diffIds = 0;
  for (int set = 0; set < DevicePinSetCount; ++set) {
    for (int i = 0; i < TPinSetParameters[set].PinCount; ++i) {
      const TPinParameters& pin = PinSetPin(static_cast<TDevicePinSet>(set), i);
      EXPECT_EQ(pin.Options, 0);
      EXPECT_EQ(pin.Standards, 0u);
      EXPECT_EQ(std::wstring_view(pin.Bank), L"");
      EXPECT_EQ(std::wstring_view(pin.ClkDiffId), L"");
      diffIds += *pin.DiffId != L'\0';
    }
  }
  EXPECT_EQ(diffIds, 1);
}

TEST(StellarisTables, BaseNamesWithoutRowsAreTheThreeListed) {
  std::set<int> withRows;
  for (const TDeviceRecord& row : TDeviceParameters)
    withRows.insert(row.BaseName);
  std::set<std::wstring_view> without;
  for (int base = 0; base < BaseNameIdCount; ++base) {
    EXPECT_EQ(TBaseNameIdParameters[base].EquivalentGates, 0);
    if (!withRows.count(base))
      without.insert(TBaseNameIdParameters[base].Name);
  }
  EXPECT_EQ(without, (std::set<std::wstring_view>{L"LM3S1166", L"LM3S2276", L"LM3S2919"}));
  // Rows of one base sit together.
  for (int kind = 1; kind < DeviceKindCount; ++kind) {
    if (TDeviceParameters[kind].BaseName == TDeviceParameters[kind - 1].BaseName)
      continue;
    for (int earlier = 0; earlier < kind; ++earlier)
      ASSERT_NE(TDeviceParameters[earlier].BaseName, TDeviceParameters[kind].BaseName) << kind;
  }
}

TEST(StellarisTables, NoneStandardHasNoSlewOrDrive) {
  const TIOStandardRecord& none = TIOStandardParameters[eSt_None];
  EXPECT_EQ(none.StandardIndex, 0);
  EXPECT_EQ(none.Slew, 0);
  EXPECT_EQ(none.Drive, 0u);
  EXPECT_EQ(SlewName(none.Slew, 0), L"");
  EXPECT_EQ(DriveStrengthName(none.Drive, 0), L"");
  EXPECT_EQ(IOStandardCount(0), 0);
  EXPECT_FALSE(IOStandardAt(0, 0).has_value());
}

TEST(StellarisTables, SlewAndDriveNamesCountSetBitsFromBitZero) {
  EXPECT_EQ(SlewName(0b101, 0), L"SLOW");
  EXPECT_EQ(SlewName(0b101, 1), L"VERY_SLOW");
  EXPECT_EQ(SlewName(0b101, 2), L"");
  EXPECT_EQ(SlewName(0b111, -1), L"");
  EXPECT_EQ(DriveStrengthName(1u << 14, 0), L"3.5mA");
  EXPECT_EQ(DriveStrengthName((1u << 20) | 1u, 1), L"35mA");
  EXPECT_EQ(DriveStrengthName(1u << 21, 0), L"");
  EXPECT_EQ(IOStandardAt(1u, 0), eSt_None);
  EXPECT_FALSE(IOStandardAt(1u, 1).has_value());
}

TEST(StellarisTables, OptionDesignatorTextsKeepTheirOwnRevisions) {
  const struct {
    TOptionDesignator Option;
    const wchar_t* Id;
    const wchar_t* Name;
    const wchar_t* Description;
  } cases[] = {
      {eOptionDesignator_A0, L"A0", L"A0", L"Rev A0"},
      {eOptionDesignator_A2T, L"A2T", L"A2T", L"Rev A2"},
      {eOptionDesignator_C2T, L"C2T", L"C2T", L"Rev C0"},
      {eOptionDesignator_C5, L"C5", L"C5", L"Rev C2"},
      {eOptionDesignator_None, L"None", L"Standard", L"Standard Configuration"},
  };
  for (const auto& c : cases) {
    const TGradeRecord& record = TOptionDesignatorParameters[c.Option];
    EXPECT_EQ(std::wstring_view(record.Id), c.Id);
    EXPECT_EQ(std::wstring_view(record.Name), c.Name);
    EXPECT_EQ(std::wstring_view(record.Description), c.Description);
  }
  EXPECT_EQ(std::wstring_view(TPackageParameters[ePackage_GZ48].Description),
            L"48-Pin Quad Flat No-Lead");
  EXPECT_EQ(std::wstring_view(TPackageParameters[ePackage_QC100].Dimensions), L"14 x 14 mm");
  EXPECT_EQ(std::wstring_view(TPackageTypeParameters[ePackageType_QR].Description), L"64-Pin LQFP");
}
