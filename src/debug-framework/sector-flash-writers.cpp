#include "sector-flash-writers.h"

#include "host-utilities.h"
#include "image-collector.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

// ---- the sector command set ---------------------------------------------------

uint32_t TRemoteExecuteBaseDriver::InternalFlashPrepare(uint32_t AIndex, uint32_t AStart,
                                                        uint32_t AEnd) {
  TDriverTransaction transaction(*this);
  return Command(eRemoteCmd_Prepare,
                 {FlashSectorFromAddress(AIndex, AStart), FlashSectorFromAddress(AIndex, AEnd)});
}

uint32_t TRemoteExecuteBaseDriver::InternalFlashWrite(uint32_t AIndex, uint32_t ARamAddress,
                                                      uint32_t AFlashAddress, uint32_t ACount,
                                                      bool AVerify) {
  TDriverTransaction transaction(*this);
  // The prepared range ends with the sector of the last unit written, not
  // the one after it, which past the top of flash does not exist.
  uint32_t status = InternalFlashPrepare(AIndex, AFlashAddress, AFlashAddress + ACount - 1);
  const uint32_t loaderAddress = LoaderFlashAddress(AIndex, AFlashAddress);
  if (status == 0)
    status = Command(eRemoteCmd_CopyRamToFlash,
                     {loaderAddress, ARamAddress, ACount, FDeviceClockFrequency / 1000});
  if (status == 0 && AVerify)
    status = Command(eRemoteCmd_Compare, {loaderAddress, ARamAddress, ACount});
  return status;
}

uint32_t TRemoteExecuteBaseDriver::InternalFlashRead(uint32_t AIndex, PMemoryArray ABuffer,
                                                     uint64_t AAddress, uint32_t ACount) {
  if (AIndex >= FFlashMemorySpaceArray.size())
    throw EFlashWriterError(L"No flash memory space " + std::to_wstring(AIndex));
  ReadSpace(FFlashMemorySpaceArray[AIndex].globalMemorySpaceIndex, ABuffer, AAddress, ACount);
  return 0;
}

uint32_t TRemoteExecuteBaseDriver::InternalFlashErase(uint32_t AIndex, uint32_t AStart,
                                                      uint32_t AEnd) {
  TDriverTransaction transaction(*this);
  uint32_t status = InternalFlashPrepare(AIndex, AStart, AEnd);
  if (status == 0)
    status = Command(eRemoteCmd_Erase,
                     {FlashSectorFromAddress(AIndex, AStart), FlashSectorFromAddress(AIndex, AEnd),
                      FDeviceClockFrequency / 1000});
  return status;
}

void TRemoteExecuteBaseDriver::InternalInstallCycle() {
  TDriverTransaction transaction(*this);
}

// ---- Cortex-M3 ----------------------------------------------------------------

bool TFLASH_CORTEXM3::LoadAndInitDriver() {
  const uint32_t base = GetDriverBaseAddress();
  const uint32_t parameterBase = base + GetDriverAreaSize();
  const uint32_t dataBase = parameterBase + GetCommandBlockSize() + GetResultBlockSize() + 12;
  const std::wstring file = GetDriverFileName();
  InitDriver(file, base, base, parameterBase, dataBase, 0);
  AddFlashMemorySpace();
  return false;
}

void TFLASH_CORTEXM3::AddFlashMemorySpace() {
  DoAddFlashMemorySpace(0, GetFlashBaseAddress(), GetFlashBaseAddress() + GetFlashSize(),
                        GetFlashWidth());
}

std::wstring TFLASH_CORTEXM3::GetFlashSizeText() {
  return std::to_wstring(GetFlashSize() >> 10) + L"K";
}

uint32_t TFLASH_CORTEXM3::DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst, uint32_t ALast) {
  (void)ALast; // the host asks one sector at a time
  const uint32_t address = FlashAddressFromSector(AIndex, AFirst);
  return TRemoteExecuteBaseDriver::DoBlankCheckSectors(AIndex, address, GetFlashPageSize());
}

uint32_t TFLASH_CORTEXM3::FlashAddressFromSector(uint32_t AIndex, uint32_t ASector) {
  (void)AIndex;
  return GetFlashBaseAddress() + ASector * GetFlashSectorSize();
}

uint32_t TFLASH_CORTEXM3::FlashSectorFromAddress(uint32_t AIndex, uint32_t AAddress) {
  (void)AIndex;
  return (AAddress - GetFlashBaseAddress()) / GetFlashSectorSize();
}

uint32_t TFLASH_CORTEXM3::GetFlashPageFromAddress(uint32_t AIndex, uint32_t AAddress) {
  return FlashSectorFromAddress(AIndex, AAddress);
}

uint32_t TFLASH_CORTEXM3::GetFlashAddressFromPage(uint32_t AIndex, uint32_t APage) {
  return FlashAddressFromSector(AIndex, APage);
}

HRESULT TFLASH_CORTEXM3::IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) {
  *AResult = uint32_t(AWidth) == GetFlashWidth();
  return S_OK;
}

HRESULT TFLASH_CORTEXM3::GetDefaultFlashWidth(int32_t* AResult) {
  *AResult = int32_t(GetFlashWidth());
  return S_OK;
}

HRESULT TFLASH_CORTEXM3::SupportsAction(uint32_t AAction, TBoolean* AResult) {
  constexpr uint32_t kActions[] = {40, 51, 52, 53, 56, 57, 58};
  *AResult = std::find(std::begin(kActions), std::end(kActions), AAction) != std::end(kActions);
  return S_OK;
}

uint32_t TFLASH_CORTEXM3::InternalFlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) {
  TDriverTransaction transaction(*this);
  uint32_t status = InternalFlashPrepare(AIndex, AStart, AEnd);
  if (status != 0)
    return status;
  const uint32_t first = FlashSectorFromAddress(AIndex, AStart);
  const uint32_t last = FlashSectorFromAddress(AIndex, AEnd);
  // The first sector that fails ends the erase: a later sector's success
  // must not hide it, and a stuck controller must not cost one time limit
  // (and one message) per sector.
  for (uint32_t s = first; status == 0 && last >= first && s <= last; ++s) {
    const uint32_t a = FlashAddressFromSector(AIndex, s);
    status = Command(eRemoteCmd_Erase, {a, a + GetFlashSectorSize()});
  }
  return status;
}

int32_t TFLASH_CORTEXM3::InternalRemoteDriverInit() {
  if (FFlashMemorySpaceArray.empty())
    return 0; // nothing to initialise the loader for
  const TFlashMemorySpace& space = FFlashMemorySpaceArray.front();
  return int32_t(Command(eRemoteCmd_Init, {space.startAddress, space.widthInBits}));
}

void TFLASH_CORTEXM3::SetLoaderStartRegisters() {
  SetRegister(GetRegisterIndex_SP(), FParamBaseAddress);
  SetRegister(GetRegisterIndex_XPSR(), 0x01000000);
  TRemoteExecuteBaseDriver::SetLoaderStartRegisters();
}

std::vector<TVEKAbstractRemoteExecuteBaseDriver::TRamArea> TFLASH_CORTEXM3::GetWorkAreas() {
  // The loader's stack grows down from the command block, past the end of
  // its image: the whole loader area is the loader's.
  auto areas = TRemoteExecuteBaseDriver::GetWorkAreas();
  areas[0].Count = std::max(areas[0].Count, GetDriverAreaSize());
  return areas;
}

// ---- Stellaris ----------------------------------------------------------------

std::wstring TFLASH_LUMINARY::GetDriverFileName() {
  FDriverDeviceTitle = L"Luminary Micro Stellaris Flash Memory";
  FDriverDeviceName = L"Stellaris Family/" + GetFlashSizeText();
  return GetModuleTemplatesFolder() + L"ARM_RD_LUMINARY.hex";
}

namespace {

struct TStellarisWriterRow {
  const wchar_t* ClassName;
  TComPtr<TFLASH_LUMINARY> (*Create)(const ITarvoDriver& ADriver, bool AEnable);
};

template <class TWriter>
TComPtr<TFLASH_LUMINARY> CreateRow(const ITarvoDriver& ADriver, bool AEnable) {
  auto w = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TWriter>(ADriver, AEnable);
  return TComPtr<TFLASH_LUMINARY>(w.Get());
}

constexpr TStellarisWriterRow kStellarisWriters[] = {
    {L"TFLASH_LUMINARY_8", &CreateRow<TFLASH_LUMINARY_8>},
    {L"TFLASH_LUMINARY_16", &CreateRow<TFLASH_LUMINARY_16>},
    {L"TFLASH_LUMINARY_32", &CreateRow<TFLASH_LUMINARY_32>},
    {L"TFLASH_LUMINARY_64", &CreateRow<TFLASH_LUMINARY_64>},
    {L"TFLASH_LUMINARY_96", &CreateRow<TFLASH_LUMINARY_96>},
    {L"TFLASH_LUMINARY_128", &CreateRow<TFLASH_LUMINARY_128>},
    {L"TFLASH_LUMINARY_256", &CreateRow<TFLASH_LUMINARY_256>},
};

} // namespace

TComPtr<TFLASH_LUMINARY> CreateStellarisFlashWriter(const std::wstring& AClassName,
                                                    const ITarvoDriver& ADriver, bool AEnable) {
  for (const TStellarisWriterRow& row : kStellarisWriters)
    if (AClassName == row.ClassName)
      return row.Create(ADriver, AEnable);
  return {};
}
