#pragma once

// The driver the plug-in hands out for one Stellaris device kind: a
// Cortex-M3 driver whose device-information answers, pins, boundary-scan
// entity and flash writer all come from the kind's row of the catalogue.

#include "bsdl-entity-face.h"
#include "jlink-cortex-m3.h"
#include "device-tables.h"
#include "pin-bases.h"

#include "flash-writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One pin of a pin set. Pins belong to the driver that made them.
class TDevicePinData : public TTarvoAbstractDevicePin {
public:
  TDevicePinData(TDevicePinSet APinSet, int32_t AnIndex);

  HRESULT GetPinNumber(std::wstring* AResult) override;
  HRESULT GetIOBank(std::wstring* AResult) override;
  HRESULT GetIsIOPin(TBoolean* AResult) override;
  HRESULT GetIsVREFPin(TBoolean* AResult) override;
  HRESULT GetIsCLKPin(TBoolean* AResult) override;
  HRESULT GetIsSpecialPin(TBoolean* AResult) override;
  HRESULT GetIsInputOnlyPin(TBoolean* AResult) override;
  HRESULT GetIsDCIP_Pin(TBoolean* AResult) override;
  HRESULT GetIsDCIN_Pin(TBoolean* AResult) override;
  HRESULT GetIsDiffP_Pin(TBoolean* AResult) override;
  HRESULT GetIsDiffN_Pin(TBoolean* AResult) override;
  HRESULT GetIsHDiffP_Pin(TBoolean* AResult) override;
  HRESULT GetIsHDiffN_Pin(TBoolean* AResult) override;
  HRESULT GetIsTransmitDiffPin(TBoolean* AResult) override;
  HRESULT GetIsReceiveDiffPin(TBoolean* AResult) override;
  HRESULT GetIsClkDiffP_Pin(TBoolean* AResult) override;
  HRESULT GetIsClkDiffN_Pin(TBoolean* AResult) override;
  HRESULT GetIsDLLPin(TBoolean* AResult) override;
  HRESULT GetIOStandardCount(int32_t* AResult) override;
  HRESULT GetIOStandard(int32_t AIndex, IDeviceIOStandard* AResult) override;
  HRESULT GetDifferentialId(std::wstring* AResult) override;
  HRESULT GetClkDifferentialId(std::wstring* AResult) override;

private:
  const TPinParameters& Pin() const;
  HRESULT AnswerOption(TPinOption AOption, TBoolean* AResult) const;

  TDevicePinSet FPinSet;
  int32_t FIndex;
};

// One I/O standard of the catalogue; one object per id lives for the
// plug-in's life (DeviceIOStandardObject).
class TDeviceIOStandardData : public TTarvoAbstractDeviceIOStandard {
public:
  explicit TDeviceIOStandardData(TDeviceIOStandardID AID) : FID(AID) {}

  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT GetStandardId(std::uint8_t* AResult) override;
  HRESULT GetSlewCount(int32_t* AResult) override;
  HRESULT GetSlewValue(int32_t AIndex, std::wstring* AResult) override;
  HRESULT GetDriveCount(int32_t* AResult) override;
  HRESULT GetDriveStrength(int32_t AIndex, std::wstring* AResult) override;

private:
  TDeviceIOStandardID FID;
};

// The catalogue's object for an I/O-standard id.
TDeviceIOStandardData& DeviceIOStandardObject(TDeviceIOStandardID AID);

// The Cortex-M3 driver of one catalogue row.
class TDeviceData : public TJlinkCortexM3 {
public:
  // Raises std::out_of_range for a kind outside the catalogue.
  explicit TDeviceData(int32_t AKind);
  ~TDeviceData() override;

  int32_t Kind() const { return FKind; }
  const TDeviceRecord& Row() const;

  // ---- device information
  HRESULT GetIdCode(uint32_t* AResult) override;
  HRESULT GetDeviceName(std::wstring* AResult) override;
  HRESULT GetDeviceDescription(std::wstring* AResult) override;
  HRESULT GetFamilyName(std::wstring* AResult) override;
  HRESULT GetFamilyDescription(std::wstring* AResult) override;
  HRESULT GetLibraryName(std::wstring* AResult) override;
  HRESULT GetBaseName(std::wstring* AResult) override;
  HRESULT GetEquivalentGatesForBase(int32_t* AResult) override;
  HRESULT GetMaxIOForBase(int32_t* AResult) override;
  HRESULT GetPackageTypeId(std::wstring* AResult) override;
  HRESULT GetPackageTypeName(std::wstring* AResult) override;
  HRESULT GetPackageTypeDescription(std::wstring* AResult) override;
  HRESULT GetPackageId(std::wstring* AResult) override;
  HRESULT GetPackageName(std::wstring* AResult) override;
  HRESULT GetPackageDescription(std::wstring* AResult) override;
  HRESULT GetPackageDimensions(std::wstring* AResult) override;
  HRESULT GetTemperatureGradeId(std::wstring* AResult) override;
  HRESULT GetTemperatureGradeName(std::wstring* AResult) override;
  HRESULT GetTemperatureGradeDescription(std::wstring* AResult) override;
  HRESULT GetSpeedGradeId(std::wstring* AResult) override;
  HRESULT GetSpeedGradeName(std::wstring* AResult) override;
  HRESULT GetSpeedGradeDescription(std::wstring* AResult) override;
  HRESULT GetOptionDesignatorId(std::wstring* AResult) override;
  HRESULT GetOptionDesignatorName(std::wstring* AResult) override;
  HRESULT GetOptionDesignatorDescription(std::wstring* AResult) override;
  HRESULT GetBSDLFilename(std::wstring* AResult) override;
  HRESULT GetBSDLEntity(IBSDLEntity* AResult) override;
  HRESULT GetVendorName(std::wstring* AResult) override;
  HRESULT GetInstructionLength(int32_t* AResult) override;
  HRESULT GetDevicePinCount(int32_t* AResult) override;
  HRESULT GetDeviceIOCount(int32_t* AResult) override;
  HRESULT GetDevicePin(int32_t AIndex, IDevicePin* AResult) override;
  HRESULT GetDSPMultiplierCount(int32_t* AResult) override;
  HRESULT GetClockManagerCount(int32_t* AResult) override;
  HRESULT GetMemorySize(int32_t* AResult) override;
  HRESULT GetTerminationSupport(TBoolean* AResult) override;
  HRESULT GetGlobalClockCount(int32_t* AResult) override;
  HRESULT GetConfigMemorySize(int32_t* AResult) override;
  HRESULT GetDiffPairCount(int32_t* AResult) override;
  HRESULT GetHighSpeedDiffPairCount(int32_t* AResult) override;
  HRESULT GetIOStandardCount(int32_t* AResult) override;
  HRESULT GetIOStandard(int32_t AIndex, IDeviceIOStandard* AResult) override;
  HRESULT GetDeviceParameter(const std::wstring& AName, std::wstring* AResult) override;

  bool IsCPLD() override { return false; }
  bool IsFPGA() override { return false; }
  bool IsPROM() override { return false; }

private:
  std::wstring BSDLFilename() const;
  const TPinSetRecord& PinSet() const;

  int32_t FKind;
  std::vector<std::unique_ptr<TDevicePinData>> FPins;
  TBSDLEntitySlots FBSDLEntities;
};

// The class handed to the host: the device picture of its family and the
// tool chain it builds with.
class TCortexM3 : public TDeviceData {
public:
  using TDeviceData::TDeviceData;

  HRESULT GetBitmapHandle(uint32_t* AResult) override;
  HRESULT Supports(const std::wstring& AFeature, TBoolean* AResult) override;
};
