#include "serial-flash-writer.h"

#include "image-collector.h"
#include "numeric-text.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

namespace {

std::wstring Lower(std::wstring AText) {
  for (wchar_t& c : AText)
    c = wchar_t(std::towlower(c));
  return AText;
}

uint32_t ParsedOrZero(const std::wstring& AText) {
  int64_t value = 0;
  return TryParseInt64(AText, value) ? uint32_t(value) : 0;
}

} // namespace

TRemoteExecuteBaseDriverSerialFlash::TRemoteExecuteBaseDriverSerialFlash(
    const ITarvoDriver& ADriver, bool AEnable)
    : TRemoteExecuteBaseDriver(ADriver, AEnable) {
  FDriverDeviceTitle = GetDeviceName();
}

IEmbeddedStack
TRemoteExecuteBaseDriverSerialFlash::HostEmbeddedStack(const std::wstring& AFileName) {
  IEmbeddedStack stack;
  return SUCCEEDED(GetEmbeddedStack(AFileName, stack)) ? stack : IEmbeddedStack();
}

std::wstring TRemoteExecuteBaseDriverSerialFlash::GetDeviceName(TSerialDeviceKind AKind) {
  return std::wstring(L"Embedded Flash - ") + kSerialDeviceParameters[AKind].Name;
}

std::vector<std::wstring> TRemoteExecuteBaseDriverSerialFlash::SupportedDeviceNames() const {
  std::vector<std::wstring> names;
  for (const TSerialDeviceParameters& row : kSerialDeviceParameters)
    names.push_back(GetDeviceName(row.Kind));
  return names;
}

void TRemoteExecuteBaseDriverSerialFlash::SetSelectedDevice(const std::wstring& AName) {
  const std::wstring name = Lower(AName);
  for (const TSerialDeviceParameters& row : kSerialDeviceParameters) {
    if (name.find(Lower(row.Name)) == std::wstring::npos)
      continue;
    FKind = row.Kind;
    FDriverDeviceTitle = GetDeviceName();
    FFlashMemorySpaceArray.clear();
    DoAddFlashMemorySpace(0, 0, GetDeviceSize(), 8);
    return;
  }
}

void TRemoteExecuteBaseDriverSerialFlash::AddSPI(const std::wstring& AName, const TSPIData& AData) {
  FSPIList.emplace_back(AName, AData);
}

void TRemoteExecuteBaseDriverSerialFlash::SetSelectedSPI(const std::wstring& AName) {
  for (const auto& [name, data] : FSPIList)
    if (name == AName) {
      FSPISelected = data;
      return;
    }
}

int32_t TRemoteExecuteBaseDriverSerialFlash::InternalRemoteDriverInit() {
  if (!FInternalIsDriverLoaded)
    return 0;
  const uint32_t words[] = {ParsedOrZero(FSPISelected.FSPIBaseAddress),
                            ParsedOrZero(FSPISelected.FSPIClockFreq),
                            ParsedOrZero(FSPISelected.FProcessorClockFreq),
                            GetDeviceSectorSize(),
                            GetDevicePageSize(),
                            0};
  uint32_t block[kSettingsUnits];
  for (size_t i = 0; i < std::size(words); ++i)
    EncodeWord(words[i], &block[4 * i]);
  WriteTarget(SettingsAddress(), block, kSettingsUnits);
  return 0;
}

std::vector<TVEKAbstractRemoteExecuteBaseDriver::TRamArea>
TRemoteExecuteBaseDriverSerialFlash::GetWorkAreas() {
  auto areas = TRemoteExecuteBaseDriver::GetWorkAreas();
  areas.push_back({SettingsAddress(), kSettingsUnits});
  return areas;
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::InternalFlashPrepare(uint32_t, uint32_t, uint32_t) {
  return 0;
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::InternalFlashErase(uint32_t AIndex, uint32_t AStart,
                                                                 uint32_t AEnd) {
  TDriverTransaction transaction(*this);
  uint32_t status = 0;
  const uint32_t first = FlashSectorFromAddress(AIndex, AStart);
  const uint32_t last = FlashSectorFromAddress(AIndex, AEnd);
  for (uint32_t s = first; last >= first && s <= last; ++s)
    status = Command(eRemoteCmd_Erase, {FlashAddressFromSector(AIndex, s) - FlashStart()});
  return status;
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::InternalFlashRead(uint32_t AIndex,
                                                                PMemoryArray ABuffer,
                                                                uint64_t AAddress,
                                                                uint32_t ACount) {
  (void)AIndex;
  TDriverTransaction transaction(*this);
  // The loader reads at most one data buffer per command.
  const uint32_t chunk = GetDataBufferSize();
  uint32_t status = 0;
  for (uint32_t done = 0; done < ACount && status == 0; done += chunk) {
    const uint32_t count = std::min(chunk, ACount - done);
    status = Command(eRemoteCmd_ReadFlash, {uint32_t(AAddress + done), count});
    if (status == 0)
      ReadTarget(FDataBaseAddress, ABuffer + done, count);
  }
  return status;
}

void TRemoteExecuteBaseDriverSerialFlash::GetRemoteCommandResult(TRemoteCommandResult& AResult) {
  uint32_t units[8] = {};
  ReadTarget(FParamBaseAddress + GetCommandBlockSize(), units, GetResultBlockSize());
  AResult = TRemoteCommandResult();
  AResult.statusCode = DecodeWord(units);
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::FlashSectorFromAddress(uint32_t AIndex,
                                                                     uint32_t AAddress) {
  (void)AIndex;
  return (AAddress - FlashStart()) / GetDeviceSectorSize();
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::FlashAddressFromSector(uint32_t AIndex,
                                                                     uint32_t ASector) {
  (void)AIndex;
  return ASector * GetDeviceSectorSize() + FlashStart();
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::GetFlashPageFromAddress(uint32_t AIndex,
                                                                      uint32_t AAddress) {
  (void)AIndex;
  return AAddress / GetDevicePageSize();
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::GetFlashAddressFromPage(uint32_t AIndex,
                                                                      uint32_t APage) {
  (void)AIndex;
  return APage * GetDevicePageSize();
}

uint32_t TRemoteExecuteBaseDriverSerialFlash::DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst,
                                                                  uint32_t ALast) {
  (void)ALast;
  const uint32_t a = FlashAddressFromSector(AIndex, AFirst);
  return TRemoteExecuteBaseDriver::DoBlankCheckSectors(AIndex, a, a);
}

HRESULT TRemoteExecuteBaseDriverSerialFlash::IsFlashWidthSupported(int32_t AWidth,
                                                                   TBoolean* AResult) {
  *AResult = AWidth == 8;
  return S_OK;
}

HRESULT TRemoteExecuteBaseDriverSerialFlash::GetDefaultFlashWidth(int32_t* AResult) {
  *AResult = 8;
  return S_OK;
}

HRESULT TRemoteExecuteBaseDriverSerialFlash::SupportsAction(uint32_t AAction, TBoolean* AResult) {
  constexpr uint32_t kActions[] = {51, 52, 53, 56, 57};
  *AResult = std::find(std::begin(kActions), std::end(kActions), AAction) != std::end(kActions);
  return S_OK;
}

namespace {

bool SameText(const std::wstring& A, const std::wstring& B) {
  return Lower(A) == Lower(B);
}

// The first instance stacked on an instance; empty when none.
std::wstring FirstStacked(const IEmbeddedStackSync& ASync, const std::wstring& AInstance) {
  return ASync.GetStackedInstanceCount(AInstance) > 0 ? ASync.GetStackedInstanceName(AInstance, 0)
                                                      : std::wstring();
}

constexpr const wchar_t* kBootloaderCores[] = {L"WB_BOOTLOADER_V2", L"WB_BOOTLOADER"};

} // namespace

bool TRemoteExecuteBaseDriverSerialFlash::GetSPIData(const IDeviceLink& ALink,
                                                     bool& ASoftwarePlatformPresent,
                                                     bool& ASPIClockPresent) {
  ASoftwarePlatformPresent = false;
  bool found = false;
  if (ALink.IsEmpty())
    return false;
  FSPIList.clear();
  const IProject project = ALink.GetProject();
  if (project.IsEmpty() || !FEmbeddedStackLookup)
    return false;
  std::wstring platformFile;
  try {
    platformFile = project.AsEmbeddedProject().GetSwPlatformFileName();
  } catch (const Exception&) {
    return false; // not an embedded project
  }
  const IEmbeddedStack stack = FEmbeddedStackLookup(platformFile);
  if (stack.IsEmpty())
    return false;
  const IEmbeddedStackSync sync = stack.GetStackSync();
  if (sync.IsEmpty())
    return false;
  ASoftwarePlatformPresent = true;
  const std::wstring processorClock = sync.GetProcessorClockFreq();
  const int32_t kinds = sync.GetKindCount();
  for (int32_t k = 0; k < kinds; ++k) {
    const std::wstring kind = sync.GetKindName(k);
    if (!sync.IsKindUsed(kind) || !SameText(kind, L"per_spi"))
      continue;
    const int32_t instances = sync.GetInstanceCount(kind);
    for (int32_t i = 0; i < instances; ++i) {
      const std::wstring instance = sync.GetInstanceName(kind, i);
      const std::wstring core = sync.GetInstanceCoreName(instance);
      const bool bootloader = std::any_of(std::begin(kBootloaderCores), std::end(kBootloaderCores),
                                          [&](const wchar_t* c) { return SameText(core, c); });
      const bool spiCore = SameText(core, L"WB_SPI");
      if (!bootloader && !spiCore)
        continue;
      // From here on a candidate that fails a check ends the search.
      if (bootloader && SameText(sync.GetInstanceOption(instance, L"Option_IsQuorrelix"), L"True"))
        return found;
      const std::wstring driver = FirstStacked(sync, instance);
      const std::wstring device = driver.empty() ? std::wstring() : FirstStacked(sync, driver);
      if (spiCore && !driver.empty() && device.empty())
        return found;
      std::wstring spiClock = L"2500000";
      if (!driver.empty()) {
        if (!SameText(sync.GetInstanceKindName(driver), L"drv_spi") ||
            SameText(sync.GetInstanceOption(driver, L"qx_multiplex_support"), L"True"))
          return found;
        spiClock = sync.GetInstanceOption(driver, L"spi_frequency");
        ASPIClockPresent = !spiClock.empty();
      }
      if (!device.empty() && !SameText(sync.GetInstanceKindName(device), L"drv_m25px0"))
        return found;
      const std::wstring base = sync.GetInstanceOption(instance, L"baseaddress");
      if (base.empty())
        return found;
      AddSPI(instance, {processorClock, base, spiClock});
      SetSelectedSPI(instance);
      found = true;
    }
  }
  return found;
}
