#pragma once

#include "embedded-access.h"
#include "sector-flash-writers.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An M25Pxx serial flash behind an SPI controller of an FPGA design: the
// loader in target RAM drives the controller. Its own initialisation loads
// no loader, so until a descendant does every flash operation answers 1.
enum TSerialDeviceKind : uint8_t {
  eM25P05,
  eM25P10,
  eM25P20,
  eM25P40,
  eM25P80,
  eM25P16,
  eM25P32,
  eM25P64,
  eM25P128,
};

struct TSerialDeviceParameters {
  TSerialDeviceKind Kind;
  const wchar_t* Name;
  uint32_t PageSize;   // bytes
  uint32_t SectorSize; // KB
  uint32_t SectorNum;
};

inline constexpr TSerialDeviceParameters kSerialDeviceParameters[] = {
    {eM25P05, L"M25P05", 128, 32, 1},     {eM25P10, L"M25P10", 128, 32, 2},
    {eM25P20, L"M25P20", 256, 64, 4},     {eM25P40, L"M25P40", 256, 64, 8},
    {eM25P80, L"M25P80", 256, 64, 16},    {eM25P16, L"M25P16", 256, 64, 32},
    {eM25P32, L"M25P32", 256, 64, 64},    {eM25P64, L"M25P64", 256, 64, 128},
    {eM25P128, L"M25P128", 256, 256, 64},
};

// One SPI controller of the design, its texts as the project gives them.
struct TSPIData {
  std::wstring FProcessorClockFreq;
  std::wstring FSPIBaseAddress;
  std::wstring FSPIClockFreq;
};

class TRemoteExecuteBaseDriverSerialFlash : public TRemoteExecuteBaseDriver {
public:
  TRemoteExecuteBaseDriverSerialFlash(const ITarvoDriver& ADriver, bool AEnable);

  std::wstring GetDeviceName() { return GetDeviceName(FKind); }
  static std::wstring GetDeviceName(TSerialDeviceKind AKind);
  uint32_t GetDeviceSize() { return GetDeviceSectorSize() * GetDeviceSectorNum(); }
  uint32_t GetDevicePageSize() { return Row().PageSize; }
  uint32_t GetDeviceSectorSize() { return Row().SectorSize * 1024; }
  uint32_t GetDeviceSectorNum() { return Row().SectorNum; }
  TSerialDeviceKind Kind() const { return FKind; }
  std::vector<std::wstring> SupportedDeviceNames() const override;

  void SetSelectedDevice(const std::wstring& AName);
  // Adds a controller found in the design under its instance name.
  void AddSPI(const std::wstring& AName, const TSPIData& AData);
  void SetSelectedSPI(const std::wstring& AName);
  // The software platform document of a platform file (empty when there is
  // none): the host's embedded-project services answer it unless replaced.
  using TEmbeddedStackLookup = std::function<IEmbeddedStack(const std::wstring& AFileName)>;
  void SetEmbeddedStackLookup(TEmbeddedStackLookup ALookup) {
    FEmbeddedStackLookup = std::move(ALookup);
  }
  // Finds the SPI controllers of the design linked to the device and
  // selects the last one found; True when there is one.
  bool GetSPIData(const IDeviceLink& ALink, bool& ASoftwarePlatformPresent, bool& ASPIClockPresent);
  const std::vector<std::pair<std::wstring, TSPIData>>& SPIList() const { return FSPIList; }
  const TSPIData& SelectedSPI() const { return FSPISelected; }
  // The flash utility's settings for the selected controller.
  void SetSelectedSPIData(const TSPIData& AData) { FSPISelected = AData; }
  // The host's document of a platform file; empty when it has none or the
  // host fails to answer.
  static IEmbeddedStack HostEmbeddedStack(const std::wstring& AFileName);

  bool LoadAndInitDriver() override { return false; }
  int32_t InternalRemoteDriverInit() override;
  uint32_t InternalFlashPrepare(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) override;
  uint32_t InternalFlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) override;
  uint32_t InternalFlashRead(uint32_t AIndex, PMemoryArray ABuffer, uint64_t AAddress,
                             uint32_t ACount) override;
  void GetRemoteCommandResult(TRemoteCommandResult& AResult) override;
  uint32_t FlashSectorFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  uint32_t FlashAddressFromSector(uint32_t AIndex, uint32_t ASector) override;
  uint32_t GetFlashPageFromAddress(uint32_t AIndex, uint32_t AAddress) override;
  uint32_t GetFlashAddressFromPage(uint32_t AIndex, uint32_t APage) override;
  uint32_t DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst, uint32_t ALast) override;
  uint32_t GetDriverEntryPoint() override { return FDriverBaseAddress; }
  void SetDriverBreakpoints() override {}
  TDeviceProcessor_Byte_Order GetProcessorByteOrder() override {
    return eDeviceProcessor_BYTE_ORDER_BIG_ENDIAN;
  }
  uint32_t GetDataBufferSize() override { return 512; }
  uint32_t GetCompareBlockSize() override { return 512; }
  uint32_t GetCommandBlockSize() override { return 16; }
  uint32_t GetResultBlockSize() override { return 8; }
  std::vector<TRamArea> GetWorkAreas() override;
  HRESULT IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) override;
  HRESULT GetDefaultFlashWidth(int32_t* AResult) override;
  HRESULT SupportsAction(uint32_t AAction, TBoolean* AResult) override;

  // Where the controller's settings block goes: after the data buffer.
  uint32_t SettingsAddress() {
    return FParamBaseAddress + GetCommandBlockSize() + GetResultBlockSize() + GetDataBufferSize();
  }
  static constexpr uint32_t kSettingsUnits = 24;

private:
  const TSerialDeviceParameters& Row() const { return kSerialDeviceParameters[FKind]; }
  uint32_t FlashStart() const { return FirstFlashSpace().startAddress; }

  std::vector<std::pair<std::wstring, TSPIData>> FSPIList;
  TSPIData FSPISelected;
  TSerialDeviceKind FKind = eM25P80;
  TEmbeddedStackLookup FEmbeddedStackLookup = &HostEmbeddedStack;
};
