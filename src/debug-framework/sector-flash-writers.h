#pragma once

#include "flash-writer.h"

#include <cstdint>
#include <string>

// The loader command set that programs flash sector by sector: prepare,
// copy RAM to flash, erase, compare; a 512-unit data buffer.
class TRemoteExecuteBaseDriver : public TVEKAbstractRemoteExecuteBaseDriver {
public:
  uint32_t InternalFlashWrite(uint32_t AIndex, uint32_t ARamAddress, uint32_t AFlashAddress,
                              uint32_t ACount, bool AVerify) override;
  uint32_t InternalFlashRead(uint32_t AIndex, PMemoryArray ABuffer, uint64_t AAddress,
                             uint32_t ACount) override;
  uint32_t InternalFlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) override;
  void InternalInstallCycle() override;
  // AEnd is the last address of the range (inside its last sector).
  uint32_t InternalFlashPrepare(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) override;
  uint32_t GetDataBufferSize() override { return 512; }
  uint32_t GetCommandBlockSize() override { return 20; }
  uint32_t GetResultBlockSize() override { return 20; }

  using TVEKAbstractRemoteExecuteBaseDriver::TVEKAbstractRemoteExecuteBaseDriver;

protected:
  // The flash address as the loader takes it in its copy and compare commands.
  virtual uint32_t LoaderFlashAddress(uint32_t AIndex, uint32_t AAddress) {
    (void)AIndex;
    return AAddress;
  }
  uint32_t Command(uint32_t ACommand, const std::vector<uint32_t>& AParameters) {
    return DispatchRemoteCommand(ACommand, FCommandResult, AParameters);
  }
};

// The Cortex-M3 on-chip flash: loader at 0x20000000, flash at 0 in
// 1024-byte sectors, 32 bits wide, little-endian.
class TFLASH_CORTEXM3 : public TRemoteExecuteBaseDriver {
public:
  uint32_t DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst, uint32_t ALast) override;
  uint32_t FlashAddressFromSector(uint32_t AIndex, uint32_t ASector) override;
  uint32_t FlashSectorFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  HRESULT IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) override;
  HRESULT GetDefaultFlashWidth(int32_t* AResult) override;
  HRESULT SupportsAction(uint32_t AAction, TBoolean* AResult) override;
  TDeviceProcessor_Byte_Order GetProcessorByteOrder() override {
    return eDeviceProcessor_BYTE_ORDER_LITTLE_ENDIAN;
  }
  bool LoadAndInitDriver() override;
  uint32_t InternalFlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) override;
  int32_t InternalRemoteDriverInit() override;
  uint32_t GetFlashPageFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  uint32_t GetFlashAddressFromPage(uint32_t AIndex, uint32_t APage) override;
  uint32_t GetDriverEntryPoint() override { return FDriverBaseAddress; }
  void SetDriverBreakpoints() override {}
  // The loader starts in Thumb state on its own stack, below the command block.
  void SetLoaderStartRegisters() override;
  // The driver's index of the whole xPSR, whose Thumb bit the loader start
  // sets: the ARMv7-M drivers list it as register 16.
  virtual int32_t GetRegisterIndex_XPSR() { return 16; }
  std::vector<TRamArea> GetWorkAreas() override;

  virtual std::wstring GetDriverFileName() { return std::wstring(); }
  virtual uint32_t GetFlashBaseAddress() { return 0; }
  virtual uint32_t GetFlashSize() { return GetFlashSizeKB() * GetFlashSectorSize(); }
  virtual std::wstring GetFlashSizeText();
  virtual uint32_t GetFlashWidth() { return 32; }
  virtual uint32_t GetFlashSizeKB() { return 16; }
  virtual uint32_t GetFlashSectorSize() { return 1024; }
  virtual uint32_t GetFlashPageSize() { return GetFlashSectorSize(); }
  virtual uint32_t GetDriverBaseAddress() { return 0x20000000; }
  virtual uint32_t GetDriverAreaSize() { return 0x400; }
  virtual void AddFlashMemorySpace();
  using TRemoteExecuteBaseDriver::AddFlashMemorySpace;
  using TRemoteExecuteBaseDriver::TRemoteExecuteBaseDriver;
};

// The Stellaris loader file, title and device name.
class TFLASH_LUMINARY : public TFLASH_CORTEXM3 {
public:
  std::wstring GetDriverFileName() override;
  using TFLASH_CORTEXM3::TFLASH_CORTEXM3;
};

// The Stellaris writers differ only in their flash size.
template <uint32_t AKB> class TFLASH_LUMINARY_Sized : public TFLASH_LUMINARY {
public:
  uint32_t GetFlashSizeKB() override { return AKB; }

  using TFLASH_LUMINARY::TFLASH_LUMINARY;
};

using TFLASH_LUMINARY_8 = TFLASH_LUMINARY_Sized<8>;
using TFLASH_LUMINARY_16 = TFLASH_LUMINARY_Sized<16>;
using TFLASH_LUMINARY_32 = TFLASH_LUMINARY_Sized<32>;
using TFLASH_LUMINARY_64 = TFLASH_LUMINARY_Sized<64>;
using TFLASH_LUMINARY_96 = TFLASH_LUMINARY_Sized<96>;
using TFLASH_LUMINARY_128 = TFLASH_LUMINARY_Sized<128>;
using TFLASH_LUMINARY_256 = TFLASH_LUMINARY_Sized<256>;

// The Stellaris writer of a class name ("TFLASH_LUMINARY_64" ...), loaded;
// empty for a name no writer has.
TComPtr<TFLASH_LUMINARY> CreateStellarisFlashWriter(const std::wstring& AClassName,
                                                    const ITarvoDriver& ADriver,
                                                    bool AEnable = true);
