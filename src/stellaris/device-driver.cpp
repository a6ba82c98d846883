#include "device-driver.h"

#include "actions.h"
#include "device-catalogue.h"
#include "family-registry.h"
#include "sector-flash-writers.h"

#include <windows.h>

#include <array>
#include <bit>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace {

template <class T> HRESULT Answer(T* AResult, T AValue) {
  if (!AResult)
    return E_POINTER;
  *AResult = std::move(AValue);
  return S_OK;
}

HRESULT AnswerText(std::wstring* AResult, std::wstring_view AValue) {
  return Guarded([&] { return Answer(AResult, std::wstring(AValue)); });
}

HRESULT AnswerText(std::wstring* AResult, const wchar_t* AValue) {
  return AnswerText(AResult, std::wstring_view(AValue ? AValue : L""));
}

bool SameText(std::wstring_view A, std::wstring_view B) {
  return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

constexpr wchar_t kFamilyDescription[] = L"Stellaris Microcontroller";
constexpr wchar_t kLibraryName[] = L"TI Stellaris Microcontroller.Unilib";
// The host's device-family registry holds the vendor under this family.
constexpr wchar_t kRegistryFamily[] = L"Stellaris";
constexpr wchar_t kProcessorDeviceName[] = L"ProcessorDeviceName";
constexpr wchar_t kToolchainParameterValue[] = L"VORKANT ARM";

// ---- flash writers ------------------------------------------------------------

struct TWriterClassRow {
  TFlashWriterClass Class;
  const wchar_t* Name;
};

constexpr TWriterClassRow kWriterClasses[] = {
    {TFlashWriterClass::Luminary8, L"TFLASH_LUMINARY_8"},
    {TFlashWriterClass::Luminary16, L"TFLASH_LUMINARY_16"},
    {TFlashWriterClass::Luminary32, L"TFLASH_LUMINARY_32"},
    {TFlashWriterClass::Luminary64, L"TFLASH_LUMINARY_64"},
    {TFlashWriterClass::Luminary96, L"TFLASH_LUMINARY_96"},
    {TFlashWriterClass::Luminary128, L"TFLASH_LUMINARY_128"},
    {TFlashWriterClass::Luminary256, L"TFLASH_LUMINARY_256"},
};

const wchar_t* WriterClassName(TFlashWriterClass AClass) {
  for (const TWriterClassRow& row : kWriterClasses)
    if (row.Class == AClass)
      return row.Name;
  return nullptr;
}

// The writer class of a row's column: builds the Stellaris writer of that
// flash size for the driver given, which the writer then reaches by its
// DISPIDs and its memory interface. None gives no class.
TVEKAbstractRemoteExecuteBaseDriverClass WriterClass(TFlashWriterClass AClass) {
  const wchar_t* name = WriterClassName(AClass);
  if (!name)
    return {};
  return [name](TTarvoProcessorDriver& ADriver) -> TComPtr<TAbstractFlashWriter> {
    const TComPtr<TFLASH_LUMINARY> writer = CreateStellarisFlashWriter(
        name, ITarvoDriver::FromDispatch(static_cast<IDispatch*>(&ADriver)));
    if (!writer)
      throw std::runtime_error("no flash writer of this class");
    return TComPtr<TAbstractFlashWriter>(writer.Get());
  };
}

} // namespace

// ---- the driver ---------------------------------------------------------------

// The writer is built by the base class's constructor; it calls the driver
// only once the host asks it for an operation, through the driver's
// dispatch, which by then serves the complete class.
TDeviceData::TDeviceData(int32_t AKind)
    : TJlinkCortexM3(eDeviceProcessor_CORE_ARM_CORTEX_M3, eDeviceProcessor_TYPE_HARD,
                    WriterClass(DeviceRecord(AKind).RemoteExecutionDriver),
                    TMemoryMapFromDescendant{}),
      FKind(AKind) {
  // No row names a second writer class; were one set, the writers would
  // have to be built from both classes, which this layer does not do.
  if (Row().RemoteExecutionDriverData != TFlashWriterClass::None)
    throw std::logic_error("a second flash writer class is not supported");
  // The constraint file is named after the row (device, reference part,
  // base name, family), which the search can ask only from here on.
  LoadEmbeddedMemoryMap();
}

TDeviceData::~TDeviceData() = default;

const TDeviceRecord& TDeviceData::Row() const {
  return DeviceRecord(FKind);
}

const TPinSetRecord& TDeviceData::PinSet() const {
  return TPinSetParameters[std::size_t(Row().PinSet)];
}

std::wstring TDeviceData::BSDLFilename() const {
  return std::wstring(DeviceBSDLName(FKind));
}

HRESULT TDeviceData::GetIdCode(uint32_t* AResult) {
  return Answer(AResult, Row().IdCode);
}
HRESULT TDeviceData::GetDeviceName(std::wstring* AResult) {
  return AnswerText(AResult, DeviceFullName(FKind));
}

HRESULT TDeviceData::GetDeviceDescription(std::wstring* AResult) {
  if (!AResult)
    return E_POINTER;
  AResult->clear();
  return Guarded([&]() -> HRESULT {
    std::wstring vendor, family, device;
    if (FAILED(GetVendorName(&vendor)) || FAILED(GetFamilyName(&family)) ||
        FAILED(GetDeviceName(&device)))
      return E_UNEXPECTED;
    *AResult = vendor + L" " + family + L" " + device;
    return S_OK;
  });
}

HRESULT TDeviceData::GetFamilyName(std::wstring* AResult) {
  return AnswerText(AResult, DeviceFamilyName(FKind));
}
HRESULT TDeviceData::GetFamilyDescription(std::wstring* AResult) {
  return AnswerText(AResult, kFamilyDescription);
}
HRESULT TDeviceData::GetLibraryName(std::wstring* AResult) {
  return AnswerText(AResult, kLibraryName);
}
HRESULT TDeviceData::GetBaseName(std::wstring* AResult) {
  return AnswerText(AResult, DeviceBaseName(FKind));
}
HRESULT TDeviceData::GetEquivalentGatesForBase(int32_t* AResult) {
  return Answer(AResult, DeviceBaseNameRecord(FKind).EquivalentGates);
}
HRESULT TDeviceData::GetMaxIOForBase(int32_t* AResult) {
  return Answer(AResult, DeviceBaseNameRecord(FKind).MaxIO);
}
HRESULT TDeviceData::GetPackageTypeId(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageTypeInfo(FKind).Id);
}
HRESULT TDeviceData::GetPackageTypeName(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageTypeInfo(FKind).Name);
}
HRESULT TDeviceData::GetPackageTypeDescription(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageTypeInfo(FKind).Description);
}
HRESULT TDeviceData::GetPackageId(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageInfo(FKind).Id);
}
HRESULT TDeviceData::GetPackageName(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageInfo(FKind).Name);
}
HRESULT TDeviceData::GetPackageDescription(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageInfo(FKind).Description);
}
HRESULT TDeviceData::GetPackageDimensions(std::wstring* AResult) {
  return AnswerText(AResult, DevicePackageInfo(FKind).Dimensions);
}
HRESULT TDeviceData::GetTemperatureGradeId(std::wstring* AResult) {
  return AnswerText(AResult, DeviceTemperatureGrade(FKind).Id);
}
HRESULT TDeviceData::GetTemperatureGradeName(std::wstring* AResult) {
  return AnswerText(AResult, DeviceTemperatureGrade(FKind).Name);
}
HRESULT TDeviceData::GetTemperatureGradeDescription(std::wstring* AResult) {
  return AnswerText(AResult, DeviceTemperatureGrade(FKind).Description);
}
HRESULT TDeviceData::GetSpeedGradeId(std::wstring* AResult) {
  return AnswerText(AResult, DeviceSpeedGrade(FKind).Id);
}
HRESULT TDeviceData::GetSpeedGradeName(std::wstring* AResult) {
  return AnswerText(AResult, DeviceSpeedGrade(FKind).Name);
}
HRESULT TDeviceData::GetSpeedGradeDescription(std::wstring* AResult) {
  return AnswerText(AResult, DeviceSpeedGrade(FKind).Description);
}
HRESULT TDeviceData::GetOptionDesignatorId(std::wstring* AResult) {
  return AnswerText(AResult, DeviceOptionDesignator(FKind).Id);
}
HRESULT TDeviceData::GetOptionDesignatorName(std::wstring* AResult) {
  return AnswerText(AResult, DeviceOptionDesignator(FKind).Name);
}
HRESULT TDeviceData::GetOptionDesignatorDescription(std::wstring* AResult) {
  return AnswerText(AResult, DeviceOptionDesignator(FKind).Description);
}
HRESULT TDeviceData::GetBSDLFilename(std::wstring* AResult) {
  return AnswerText(AResult, DeviceBSDLName(FKind));
}

HRESULT TDeviceData::GetBSDLEntity(IBSDLEntity* AResult) {
  // The device's BSDL file, when the library tree has it, is read; the
  // compiled-in record answers otherwise.
  return FBSDLEntities.GetBSDLEntity(BSDLFilename(), AResult, [this] {
    std::wstring vendor, family;
    if (FAILED(GetVendorName(&vendor)) || FAILED(GetFamilyName(&family)))
      return std::wstring();
    return FindDeviceBSDLFile(BSDLFilename(), vendor, family);
  });
}

HRESULT TDeviceData::GetVendorName(std::wstring* AResult) {
  return Guarded([&] { return Answer(AResult, GetDeviceFamilyVendor(kRegistryFamily)); });
}

HRESULT TDeviceData::GetInstructionLength(int32_t* AResult) {
  return Answer(AResult, Row().InstructionLength);
}
HRESULT TDeviceData::GetDevicePinCount(int32_t* AResult) {
  return Answer(AResult, PinSet().PinCount);
}
HRESULT TDeviceData::GetDeviceIOCount(int32_t* AResult) {
  return Answer(AResult, PinSet().IOCount);
}
HRESULT TDeviceData::GetDiffPairCount(int32_t* AResult) {
  return Answer(AResult, PinSet().DiffCount);
}
HRESULT TDeviceData::GetHighSpeedDiffPairCount(int32_t* AResult) {
  return Answer(AResult, PinSet().HSpeedDiffCount);
}

// The pins are made together on the first request. An index outside the set
// answers the empty pin: the host walks the pins by the count it was given,
// and a stray index must not reach past the list.
HRESULT TDeviceData::GetDevicePin(int32_t AIndex, IDevicePin* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = IDevicePin();
  return Guarded([&]() -> HRESULT {
    if (FPins.empty()) {
      int32_t count = 0;
      CheckOperation(GetDevicePinCount(&count), L"GetDevicePinCount");
      std::vector<std::unique_ptr<TDevicePinData>> pins;
      pins.reserve(std::size_t(count));
      for (int32_t i = 0; i < count; ++i)
        pins.push_back(std::make_unique<TDevicePinData>(Row().PinSet, i));
      FPins = std::move(pins);
    }
    if (AIndex >= 0 && std::size_t(AIndex) < FPins.size())
      *AResult = IDevicePin::FromDispatch(FPins[std::size_t(AIndex)].get());
    return S_OK;
  });
}

HRESULT TDeviceData::GetDSPMultiplierCount(int32_t* AResult) {
  return Answer(AResult, DevicePackageRecord(FKind).DSPMultiplierCount);
}
HRESULT TDeviceData::GetClockManagerCount(int32_t* AResult) {
  return Answer(AResult, DevicePackageRecord(FKind).ClockManagerCount);
}
HRESULT TDeviceData::GetMemorySize(int32_t* AResult) {
  return Answer(AResult, DevicePackageRecord(FKind).MemorySize);
}
HRESULT TDeviceData::GetTerminationSupport(TBoolean* AResult) {
  return Answer(AResult, TBoolean(DevicePackageRecord(FKind).TerminationSupport));
}
HRESULT TDeviceData::GetGlobalClockCount(int32_t* AResult) {
  return Answer(AResult, DevicePackageRecord(FKind).GlobalClockCount);
}
HRESULT TDeviceData::GetConfigMemorySize(int32_t* AResult) {
  return Answer(AResult, DevicePackageRecord(FKind).ConfigMemorySize);
}

HRESULT TDeviceData::GetIOStandardCount(int32_t* AResult) {
  return Answer(AResult, int32_t(IOStandardCount(PinSet().Standards)));
}

HRESULT TDeviceData::GetIOStandard(int32_t AIndex, IDeviceIOStandard* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = IDeviceIOStandard();
  if (const auto id = IOStandardAt(PinSet().Standards, AIndex))
    *AResult = IDeviceIOStandard::FromDispatch(&DeviceIOStandardObject(*id));
  return S_OK;
}

HRESULT TDeviceData::GetDeviceParameter(const std::wstring& AName, std::wstring* AResult) {
  if (!AResult)
    return E_POINTER;
  AResult->clear();
  if (!SameText(AName, kProcessorDeviceName))
    return S_OK;
  return AnswerText(AResult, ProcessorDeviceName(FKind));
}

// ---- TCortexM3 ------------------------------------------------------------------

// The picture is built once from the family's image; without the host's
// generic picture there is none, and the next request tries again.
HRESULT TCortexM3::GetBitmapHandle(uint32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = 0;
  return Guarded([&] {
    if (!FDeviceImage)
      FDeviceImage = BuildDeviceBitmap(FamilyName());
    *AResult = uint32_t(reinterpret_cast<uintptr_t>(FDeviceImage));
  });
}

HRESULT TCortexM3::Supports(const std::wstring& AFeature, TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  return Guarded([&]() -> HRESULT {
    std::wstring toolchain;
    if (GetToolchainNameParameter(AFeature, toolchain) &&
        SameText(toolchain, kToolchainParameterValue)) {
      *AResult = true;
      return S_OK;
    }
    return TARM_Cortex_M3::Supports(AFeature, AResult);
  });
}

// ---- pins -------------------------------------------------------------------------

TDevicePinData::TDevicePinData(TDevicePinSet APinSet, int32_t AnIndex)
    : FPinSet(APinSet), FIndex(AnIndex) {}

const TPinParameters& TDevicePinData::Pin() const {
  return PinSetPin(FPinSet, FIndex);
}

HRESULT TDevicePinData::AnswerOption(TPinOption AOption, TBoolean* AResult) const {
  return Answer(AResult, TBoolean((Pin().Options >> unsigned(AOption)) & 1u));
}

HRESULT TDevicePinData::GetPinNumber(std::wstring* AResult) {
  return AnswerText(AResult, Pin().PinNumber);
}
HRESULT TDevicePinData::GetIOBank(std::wstring* AResult) {
  return AnswerText(AResult, Pin().Bank);
}
HRESULT TDevicePinData::GetIsIOPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::IO, AResult);
}
HRESULT TDevicePinData::GetIsVREFPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::VREF, AResult);
}
HRESULT TDevicePinData::GetIsCLKPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::CLK, AResult);
}
HRESULT TDevicePinData::GetIsSpecialPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::Special, AResult);
}
HRESULT TDevicePinData::GetIsInputOnlyPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::InputOnly, AResult);
}
HRESULT TDevicePinData::GetIsDCIP_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::DCIP, AResult);
}
HRESULT TDevicePinData::GetIsDCIN_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::DCIN, AResult);
}
HRESULT TDevicePinData::GetIsDiffP_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::DiffP, AResult);
}
HRESULT TDevicePinData::GetIsDiffN_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::DiffN, AResult);
}
HRESULT TDevicePinData::GetIsHDiffP_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::HDiffP, AResult);
}
HRESULT TDevicePinData::GetIsHDiffN_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::HDiffN, AResult);
}
HRESULT TDevicePinData::GetIsTransmitDiffPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::TransmitDiff, AResult);
}
HRESULT TDevicePinData::GetIsReceiveDiffPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::ReceiveDiff, AResult);
}
HRESULT TDevicePinData::GetIsClkDiffP_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::ClkDiffP, AResult);
}
HRESULT TDevicePinData::GetIsClkDiffN_Pin(TBoolean* AResult) {
  return AnswerOption(TPinOption::ClkDiffN, AResult);
}
HRESULT TDevicePinData::GetIsDLLPin(TBoolean* AResult) {
  return AnswerOption(TPinOption::DLL, AResult);
}
HRESULT TDevicePinData::GetIOStandardCount(int32_t* AResult) {
  return Answer(AResult, int32_t(IOStandardCount(Pin().Standards)));
}
HRESULT TDevicePinData::GetIOStandard(int32_t AIndex, IDeviceIOStandard* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = IDeviceIOStandard();
  if (const auto id = IOStandardAt(Pin().Standards, AIndex))
    *AResult = IDeviceIOStandard::FromDispatch(&DeviceIOStandardObject(*id));
  return S_OK;
}
HRESULT TDevicePinData::GetDifferentialId(std::wstring* AResult) {
  return AnswerText(AResult, Pin().DiffId);
}
HRESULT TDevicePinData::GetClkDifferentialId(std::wstring* AResult) {
  return AnswerText(AResult, Pin().ClkDiffId);
}

// ---- I/O standards ----------------------------------------------------------------

namespace {

template <std::size_t... AIds>
std::array<TDeviceIOStandardData, sizeof...(AIds)> MakeIOStandards(std::index_sequence<AIds...>) {
  return {TDeviceIOStandardData(TDeviceIOStandardID(AIds))...};
}

} // namespace

TDeviceIOStandardData& DeviceIOStandardObject(TDeviceIOStandardID AID) {
  static auto objects = MakeIOStandards(std::make_index_sequence<DeviceIOStandardIDCount>());
  return objects.at(std::size_t(AID));
}

HRESULT TDeviceIOStandardData::GetStandardId(std::uint8_t* AResult) {
  return Answer(AResult, TIOStandardParameters[std::size_t(FID)].StandardIndex);
}
HRESULT TDeviceIOStandardData::GetSlewCount(int32_t* AResult) {
  return Answer(AResult, int32_t(std::popcount(unsigned(TIOStandardParameters[FID].Slew))));
}
HRESULT TDeviceIOStandardData::GetSlewValue(int32_t AIndex, std::wstring* AResult) {
  return AnswerText(AResult, SlewName(TIOStandardParameters[FID].Slew, AIndex));
}
HRESULT TDeviceIOStandardData::GetDriveCount(int32_t* AResult) {
  return Answer(AResult, int32_t(std::popcount(TIOStandardParameters[FID].Drive)));
}
HRESULT TDeviceIOStandardData::GetDriveStrength(int32_t AIndex, std::wstring* AResult) {
  return AnswerText(AResult, DriveStrengthName(TIOStandardParameters[FID].Drive, AIndex));
}
