#pragma once

#include "embedded-access.h"
#include "sector-flash-writers.h"

#include <cstdint>
#include <functional>

// A parallel NOR flash on the external bus of a big-endian processor:
// 128 KB sectors, 512-byte pages, 8 or 16 bits wide, with the exception
// vector checksum ARM boot code expects. Its own initialisation loads no
// loader, so until a descendant does every flash operation answers 1.
class TRemoteExecuteBaseDriverParallelFlash : public TRemoteExecuteBaseDriver {
public:
  TRemoteExecuteBaseDriverParallelFlash(const ITarvoDriver& ADriver, bool AEnable);

  void InjectChecksum(TDataChunkImage& AImage) override;
  bool LoadAndInitDriver() override { return false; }
  uint32_t InternalFlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) override;
  uint32_t GetDataBufferSize() override { return 1024; }
  uint32_t GetCommandBlockSize() override { return 20; }
  uint32_t GetResultBlockSize() override { return 20; }
  uint32_t GetDriverEntryPoint() override { return FDriverBaseAddress; }
  void SetDriverBreakpoints() override {}
  int32_t InternalRemoteDriverInit() override;
  uint32_t FlashSectorFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  uint32_t FlashAddressFromSector(uint32_t AIndex, uint32_t ASector) override;
  uint32_t DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst, uint32_t ALast) override;
  TDeviceProcessor_Byte_Order GetProcessorByteOrder() override {
    return eDeviceProcessor_BYTE_ORDER_BIG_ENDIAN;
  }
  uint32_t GetFlashAddressFromPage(uint32_t AIndex, uint32_t APage) override;
  uint32_t GetFlashPageFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  HRESULT IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) override;
  HRESULT GetDefaultFlashWidth(int32_t* AResult) override;
  HRESULT SupportsAction(uint32_t AAction, TBoolean* AResult) override;

  virtual uint32_t GetSectorSize(uint32_t ASector);

  // Where the host's embedded-memory manager comes from: the host's
  // embedded-project services unless replaced.
  using TEmbeddedMemoryManagerLookup = std::function<IEmbeddedMemoryManager()>;
  void SetEmbeddedMemoryManagerLookup(TEmbeddedMemoryManagerLookup ALookup) {
    FEmbeddedMemoryManagerLookup = std::move(ALookup);
  }
  // Takes the flash's base address and size from the first "pflash" memory
  // of an embedded project; False when it has none.
  virtual bool GetFlashData(const IProject& AProject);

  int64_t BaseAddress() const { return FBaseAddress; }
  int64_t Size() const { return FSize; }

protected:
  // The loader takes flash addresses relative to the flash's start.
  uint32_t LoaderFlashAddress(uint32_t AIndex, uint32_t AAddress) override;
  uint32_t FlashStart() const { return FirstFlashSpace().startAddress; }

  int64_t FBaseAddress = -1;
  int64_t FSize = -1;
  TEmbeddedMemoryManagerLookup FEmbeddedMemoryManagerLookup = &GetEmbeddedMemoryManager;
};
