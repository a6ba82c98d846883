#pragma once

// The Stellaris catalogue: one constant row per orderable device kind and the
// small tables the rows point into. The tables are written at build time by
// tools/gen/stellaris/gen-device-tables.py from the lists beside it.

#include "device-enums.generated.h"

#include <cstdint>

// The on-chip flash writer of a row, named by the flash size it programs.
enum class TFlashWriterClass : std::uint8_t {
  None,
  Luminary8,
  Luminary16,
  Luminary32,
  Luminary64,
  Luminary96,
  Luminary128,
  Luminary256,
};

struct TDeviceRecord {
  TDeviceKind Kind;
  const wchar_t* FullName;
  TFamilyNameId FamilyName;
  std::uint32_t IdCode;
  TBaseNameId BaseName;
  TPackage Package;
  TPackageType PackageType;
  TTemperatureGrade TemperatureGrade;
  TSpeedGrade SpeedGrade;
  TOptionDesignator OptionDesignator;
  const wchar_t* BSDL;
  TDevicePinSet PinSet;
  std::int32_t InstructionLength;
  TDevicePackage DevicePackage;
  TFlashWriterClass RemoteExecutionDriver;
  TFlashWriterClass RemoteExecutionDriverData;
  // Position of BSDL in TBSDLNames, so the entity cache needs no search.
  std::int32_t BSDLIndex;
};

struct TBaseNameRecord {
  const wchar_t* Name;
  std::int32_t EquivalentGates;
  std::int32_t MaxIO;
  // 0 for the base names that have no device row.
  std::int32_t FlashSizeKB;
  std::int32_t SramSizeKB;
};

struct TPackageRecord {
  const wchar_t* Id;
  const wchar_t* Name;
  const wchar_t* Description;
  const wchar_t* Dimensions;
};

struct TPackageTypeRecord {
  const wchar_t* Id;
  const wchar_t* Name;
  const wchar_t* Description;
};

// Speed grades, temperature grades and option designators.
struct TGradeRecord {
  const wchar_t* Id;
  const wchar_t* Name;
  const wchar_t* Description;
};

struct TDevicePackageRecord {
  std::int32_t DSPMultiplierCount;
  std::int32_t ClockManagerCount;
  std::int32_t MemorySize;
  bool TerminationSupport;
  std::int32_t GlobalClockCount;
  std::int32_t ConfigMemorySize;
};

// Bits of TPinParameters::Options, from bit 0.
enum class TPinOption : std::uint16_t {
  IO,
  VREF,
  CLK,
  Special,
  InputOnly,
  DCIP,
  DCIN,
  DiffP,
  DiffN,
  HDiffP,
  HDiffN,
  TransmitDiff,
  ReceiveDiff,
  ClkDiffP,
  ClkDiffN,
  DLL,
};

struct TPinParameters {
  const wchar_t* PinNumber;
  const wchar_t* Bank;
  const wchar_t* DiffId;
  const wchar_t* ClkDiffId;
  std::uint16_t Options;
  // Bit per TDeviceIOStandardID.
  std::uint32_t Standards;
};

// The base part number and package that a device package belongs to.
struct TDevicePackageKey {
  TBaseNameId BaseName;
  TPackage Package;
};

struct TPinSetRecord {
  std::int32_t PinCount;
  std::int32_t IOCount;
  std::int32_t DiffCount;
  std::int32_t HSpeedDiffCount;
  std::uint32_t Standards;
  // PinCount entries of TPinTable.
  const TPinParameters* Pins;
};

struct TIOStandardRecord {
  std::uint8_t StandardIndex;
  std::uint8_t Slew;   // 3 bits, names in TSlewNames
  std::uint32_t Drive; // 21 bits, names in TDriveStrengthNames
};

struct TProcessorDeviceNameRecord {
  TFamilyNameId Family;
  const wchar_t* BaseName; // nullptr: any other base of the family
  const wchar_t* Answer;
};

extern const TDeviceRecord TDeviceParameters[DeviceKindCount];
extern const TBaseNameRecord TBaseNameIdParameters[BaseNameIdCount];
extern const wchar_t* const TFamilyNames[FamilyNameIdCount];
extern const TPackageRecord TPackageParameters[PackageCount];
extern const TPackageTypeRecord TPackageTypeParameters[PackageTypeCount];
extern const TGradeRecord TSpeedGradeParameters[SpeedGradeCount];
extern const TGradeRecord TTemperatureGradeParameters[TemperatureGradeCount];
extern const TGradeRecord TOptionDesignatorParameters[OptionDesignatorCount];
extern const TDevicePackageRecord TDevicePackageParameters[DevicePackageCount];
extern const TDevicePackageKey TDevicePackageKeys[DevicePackageCount];
extern const wchar_t* const TBSDLNames[BSDLNameCount];
extern const TPinParameters TPinTable[PinTableSize];
extern const TPinSetRecord TPinSetParameters[DevicePinSetCount];
extern const wchar_t* const TPinSetNames[DevicePinSetCount];
extern const TIOStandardRecord TIOStandardParameters[DeviceIOStandardIDCount];
extern const wchar_t* const TSlewNames[SlewNameCount];
extern const wchar_t* const TDriveStrengthNames[DriveStrengthNameCount];
extern const TProcessorDeviceNameRecord TProcessorDeviceNames[ProcessorDeviceNameCount];
