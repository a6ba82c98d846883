#include "parallel-flash-writer.h"

#include "image-collector.h"

#include <algorithm>
#include <cwctype>
#include <iterator>

namespace {

// The vector words the checksum covers, by unit offset; it goes to 0x14.
constexpr uint32_t kVectorOffsets[] = {0, 4, 8, 0xC, 0x10, 0x18, 0x1C};
constexpr uint32_t kChecksumOffset = 0x14;
constexpr uint32_t kSectorShift = 17; // 128 KB
constexpr uint32_t kPageShift = 9;    // 512 bytes

} // namespace

TRemoteExecuteBaseDriverParallelFlash::TRemoteExecuteBaseDriverParallelFlash(
    const ITarvoDriver& ADriver, bool AEnable)
    : TRemoteExecuteBaseDriver(ADriver, AEnable) {
  FDriverDeviceTitle = L"S29GLXXXA/M/N";
}

void TRemoteExecuteBaseDriverParallelFlash::InjectChecksum(TDataChunkImage& AImage) {
  // An image too short to hold the vectors has none to sum.
  if (AImage.TargetAddr != 0 || AImage.DataLen < 0x20 || AImage.DataArray.size() < 0x20)
    return;
  auto word = [&](uint32_t AOffset) {
    uint32_t w = 0;
    for (unsigned i = 0; i < 4; ++i)
      w |= (AImage.DataArray[AOffset + i] & 0xFF) << (8 * i);
    return w;
  };
  uint32_t sum = 0;
  for (uint32_t offset : kVectorOffsets)
    sum += word(offset);
  const uint32_t checksum = 0u - sum;
  for (unsigned i = 0; i < 4; ++i)
    AImage.DataArray[kChecksumOffset + i] = (checksum >> (8 * i)) & 0xFF;
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::LoaderFlashAddress(uint32_t AIndex,
                                                                   uint32_t AAddress) {
  (void)AIndex;
  return AAddress - FlashStart();
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::InternalFlashErase(uint32_t AIndex, uint32_t AStart,
                                                                   uint32_t AEnd) {
  TDriverTransaction transaction(*this);
  uint32_t status = InternalFlashPrepare(AIndex, AStart, AEnd);
  if (status != 0)
    return status;
  const uint32_t first = FlashSectorFromAddress(AIndex, AStart);
  const uint32_t last = FlashSectorFromAddress(AIndex, AEnd);
  for (uint32_t s = first; last >= first && s <= last; ++s) {
    const uint32_t offset = FlashAddressFromSector(AIndex, s) - FlashStart();
    status = Command(eRemoteCmd_Erase, {offset, offset, FDeviceClockFrequency / 1000});
  }
  return status;
}

int32_t TRemoteExecuteBaseDriverParallelFlash::InternalRemoteDriverInit() {
  const TFlashMemorySpace& space = FirstFlashSpace();
  return int32_t(Command(eRemoteCmd_Init, {space.startAddress, space.widthInBits}));
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::FlashSectorFromAddress(uint32_t AIndex,
                                                                       uint32_t AAddress) {
  (void)AIndex;
  return (AAddress - FlashStart()) >> kSectorShift;
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::FlashAddressFromSector(uint32_t AIndex,
                                                                       uint32_t ASector) {
  (void)AIndex;
  return FlashStart() + (ASector << kSectorShift);
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::GetSectorSize(uint32_t ASector) {
  (void)ASector;
  return 1u << kSectorShift;
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::DoBlankCheckSectors(uint32_t AIndex,
                                                                    uint32_t AFirst,
                                                                    uint32_t ALast) {
  (void)ALast;
  if (!FInternalIsDriverLoaded)
    return 1;
  TDriverTransaction transaction(*this);
  if (DoAbortCheck())
    return 1;
  TRemoteCommandResult result;
  return DispatchRemoteCommand(
      eRemoteCmd_BlankCheck, result,
      {FlashAddressFromSector(AIndex, AFirst) - FlashStart(), GetSectorSize(AFirst)});
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::GetFlashAddressFromPage(uint32_t AIndex,
                                                                        uint32_t APage) {
  (void)AIndex;
  return APage << kPageShift;
}

uint32_t TRemoteExecuteBaseDriverParallelFlash::GetFlashPageFromAddress(uint32_t AIndex,
                                                                        uint32_t AAddress) {
  (void)AIndex;
  return AAddress >> kPageShift;
}

HRESULT TRemoteExecuteBaseDriverParallelFlash::IsFlashWidthSupported(int32_t AWidth,
                                                                     TBoolean* AResult) {
  *AResult = AWidth == 8 || AWidth == 16;
  return S_OK;
}

HRESULT TRemoteExecuteBaseDriverParallelFlash::GetDefaultFlashWidth(int32_t* AResult) {
  *AResult = 16;
  return S_OK;
}

HRESULT TRemoteExecuteBaseDriverParallelFlash::SupportsAction(uint32_t AAction, TBoolean* AResult) {
  constexpr uint32_t kActions[] = {51, 52, 53, 56};
  *AResult = std::find(std::begin(kActions), std::end(kActions), AAction) != std::end(kActions);
  return S_OK;
}

bool TRemoteExecuteBaseDriverParallelFlash::GetFlashData(const IProject& AProject) {
  if (AProject.IsEmpty() || !FEmbeddedMemoryManagerLookup)
    return false;
  try {
    AProject.AsEmbeddedProject().GetSwPlatformFileName();
  } catch (const Exception&) {
    return false; // not an embedded project
  }
  const IEmbeddedMemoryManager manager = FEmbeddedMemoryManagerLookup();
  if (manager.IsEmpty())
    return false;
  const IEmbeddedMemories memories = manager.GetMemories(2);
  if (memories.IsEmpty())
    return false;
  memories.LoadFromProject(AProject, true);
  const int32_t count = memories.GetCount();
  for (int32_t i = 0; i < count; ++i) {
    const IEmbeddedMemory memory = memories.GetMemory(i);
    std::wstring type = memory.GetMemoryType();
    for (wchar_t& c : type)
      c = wchar_t(std::towlower(c));
    if (type == L"pflash") {
      FBaseAddress = memory.GetBaseAddress();
      FSize = memory.GetSize();
      return true;
    }
  }
  return false;
}
