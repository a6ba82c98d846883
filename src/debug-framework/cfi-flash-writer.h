#pragma once

#include "parallel-flash-writer.h"

#include <cstdint>

// A parallel flash whose geometry comes from the Common Flash Interface
// query its loader runs: command set, size, bus widths and erase-block
// regions of differing sector sizes, laid out from the flash's base upward.
class TRemoteExecuteBaseDriverCFIFlash : public TRemoteExecuteBaseDriverParallelFlash {
public:
  static constexpr uint32_t kMaxEraseBlockRegions = 4;

  TRemoteExecuteBaseDriverCFIFlash(const ITarvoDriver& ADriver, bool AEnable);

  bool QueryFlash(TRemoteCommandResult& AResult);
  uint32_t GetSectorSize(uint32_t ASector) override;
  uint32_t FlashSectorFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  uint32_t FlashAddressFromSector(uint32_t AIndex, uint32_t ASector) override;
  // Carries the status and seven result words, so that all four region
  // words of a query fit.
  uint32_t GetResultBlockSize() override { return 32 + 4; }
  void GetRemoteCommandResult(TRemoteCommandResult& AResult) override;
  int32_t InternalRemoteDriverInit() override;
  HRESULT IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) override;
  HRESULT GetDefaultFlashWidth(int32_t* AResult) override;

  bool QueryOk() const { return FQueryOk; }
  uint32_t CommandSet() const { return FCommandSet; }
  uint32_t SupportedWidths() const { return FSupportedWidths; }
  uint32_t NumberOfEraseBlockRegions() const { return FNumberOfEraseBlockRegions; }
  const uint32_t* EraseBlockRegions() const { return FEraseBlockRegions; }
  // For a writer given its geometry without a query.
  void SetGeometry(uint32_t ABaseAddress, uint32_t ASupportedWidths,
                   std::initializer_list<uint32_t> ARegions);

protected:
  bool FQueryOk = false;
  uint32_t FCommandSet = 0;
  uint32_t FSupportedWidths = 0;
  uint32_t FNumberOfEraseBlockRegions = 0;
  uint32_t FEraseBlockRegions[5] = {};

private:
  uint32_t RegionBase() const { return FBaseAddress < 0 ? 0 : uint32_t(FBaseAddress); }
};
