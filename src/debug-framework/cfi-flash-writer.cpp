#include "cfi-flash-writer.h"

#include <algorithm>

namespace {

uint32_t RegionSectorCount(uint32_t AWord) {
  return (AWord & 0xFFFF) + 1;
}
uint32_t RegionSectorSize(uint32_t AWord) {
  return (AWord >> 16) * 256;
}

} // namespace

TRemoteExecuteBaseDriverCFIFlash::TRemoteExecuteBaseDriverCFIFlash(const ITarvoDriver& ADriver,
                                                                   bool AEnable)
    : TRemoteExecuteBaseDriverParallelFlash(ADriver, AEnable) {
  FDriverDeviceTitle = L"CFI Flash Device";
}

bool TRemoteExecuteBaseDriverCFIFlash::QueryFlash(TRemoteCommandResult& AResult) {
  FCommandSet = 0;
  FSupportedWidths = 0;
  FNumberOfEraseBlockRegions = 0;
  std::fill(std::begin(FEraseBlockRegions), std::end(FEraseBlockRegions), 0);
  const TFlashMemorySpace& space = FirstFlashSpace();
  const uint32_t status = DispatchRemoteCommand(eRemoteCmd_CfiQuery, AResult, {space.startAddress});
  if (status == 0) {
    FCommandSet = AResult.resultArray[0];
    FBaseAddress = space.startAddress;
    FSize = AResult.resultArray[1] < 63 ? int64_t(1) << AResult.resultArray[1] : -1;
    FSupportedWidths = AResult.resultArray[2];
    FNumberOfEraseBlockRegions = std::min(AResult.resultArray[3], kMaxEraseBlockRegions);
    for (uint32_t i = 0; i < FNumberOfEraseBlockRegions; ++i)
      FEraseBlockRegions[i] = AResult.resultArray[4 + i];
  }
  FQueryOk = status == 0;
  return FQueryOk;
}

void TRemoteExecuteBaseDriverCFIFlash::SetGeometry(uint32_t ABaseAddress, uint32_t ASupportedWidths,
                                                   std::initializer_list<uint32_t> ARegions) {
  FBaseAddress = ABaseAddress;
  FSupportedWidths = ASupportedWidths;
  FNumberOfEraseBlockRegions = 0;
  for (uint32_t word : ARegions)
    if (FNumberOfEraseBlockRegions < kMaxEraseBlockRegions)
      FEraseBlockRegions[FNumberOfEraseBlockRegions++] = word;
}

uint32_t TRemoteExecuteBaseDriverCFIFlash::GetSectorSize(uint32_t ASector) {
  uint32_t first = 0;
  for (uint32_t r = 0; r < FNumberOfEraseBlockRegions; ++r) {
    const uint32_t count = RegionSectorCount(FEraseBlockRegions[r]);
    if (ASector < first + count)
      return RegionSectorSize(FEraseBlockRegions[r]);
    first += count;
  }
  return 0;
}

uint32_t TRemoteExecuteBaseDriverCFIFlash::FlashSectorFromAddress(uint32_t AIndex,
                                                                  uint32_t AAddress) {
  (void)AIndex;
  uint64_t start = RegionBase();
  uint32_t first = 0;
  if (AAddress < start)
    return 0;
  for (uint32_t r = 0; r < FNumberOfEraseBlockRegions; ++r) {
    const uint32_t count = RegionSectorCount(FEraseBlockRegions[r]);
    const uint32_t size = RegionSectorSize(FEraseBlockRegions[r]);
    const uint64_t end = start + uint64_t(count) * size;
    if (AAddress < end)
      return first + uint32_t((AAddress - start) / std::max<uint32_t>(size, 1));
    first += count;
    start = end;
  }
  return first;
}

uint32_t TRemoteExecuteBaseDriverCFIFlash::FlashAddressFromSector(uint32_t AIndex,
                                                                  uint32_t ASector) {
  (void)AIndex;
  uint64_t start = RegionBase();
  uint32_t first = 0;
  for (uint32_t r = 0; r < FNumberOfEraseBlockRegions; ++r) {
    const uint32_t count = RegionSectorCount(FEraseBlockRegions[r]);
    const uint32_t size = RegionSectorSize(FEraseBlockRegions[r]);
    if (ASector < first + count)
      return uint32_t(start + uint64_t(size) * (ASector - first));
    first += count;
    start += uint64_t(count) * size;
  }
  return RegionBase();
}

void TRemoteExecuteBaseDriverCFIFlash::GetRemoteCommandResult(TRemoteCommandResult& AResult) {
  const uint32_t size = GetResultBlockSize();
  std::vector<uint32_t> units(size, 0);
  ReadTarget(FParamBaseAddress + GetCommandBlockSize(), units.data(), size);
  AResult = TRemoteCommandResult();
  AResult.statusCode = DecodeWord(&units[0]);
  for (uint32_t k = 0; 4 * (k + 2) <= size && k < 8; ++k)
    AResult.resultArray[k] = DecodeWord(&units[4 * (k + 1)]);
}

int32_t TRemoteExecuteBaseDriverCFIFlash::InternalRemoteDriverInit() {
  const TFlashMemorySpace& space = FirstFlashSpace();
  return int32_t(Command(eRemoteCmd_Init, {space.startAddress, space.widthInBits, FCommandSet}));
}

HRESULT TRemoteExecuteBaseDriverCFIFlash::IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) {
  // Bit 0 is 8 bits, bit 1 16, bit 2 32, bit 3 64.
  bool supported = false;
  if (AWidth >= 8) {
    unsigned log2 = 0;
    while ((uint32_t(AWidth) >> (log2 + 1)) != 0)
      ++log2;
    supported = log2 - 3 < 32 && (FSupportedWidths >> (log2 - 3) & 1) != 0;
  }
  *AResult = supported;
  return S_OK;
}

HRESULT TRemoteExecuteBaseDriverCFIFlash::GetDefaultFlashWidth(int32_t* AResult) {
  constexpr int32_t kWidths[] = {8, 16, 32};
  *AResult = 0; // no width the flash supports
  for (int32_t w : kWidths) {
    TBoolean supported;
    IsFlashWidthSupported(w, &supported);
    if (supported) {
      *AResult = w;
      break;
    }
  }
  return S_OK;
}
