#pragma once

#include "contracts.h"
#include "host-records.h"
#include "memory-access.h"
#include "memory-array.h"

#include <cstdint>
#include <string>
#include <vector>

// ---- records shared with the flash memory utility -------------------------

using TDynamicLongWordArray = std::vector<uint32_t>;

// An image for flash: DataLen units from TargetAddr on, one unit per element
// (one byte in the low 8 bits for byte-wide memories).
struct TDataChunkImage {
  uint32_t TargetAddr = 0;
  TDynamicLongWordArray DataArray;
  uint32_t DataLen = 0;
};

struct TFlashMemorySpace {
  uint32_t globalMemorySpaceIndex = 0;
  uint32_t startAddress = 0;
  uint32_t endAddress = 0;
  uint32_t widthInBits = 0;
};

// The status word of one loader command and its result words.
struct TRemoteCommandResult {
  uint32_t statusCode = 0;
  uint32_t resultArray[8] = {};
};

enum TDeviceProcessor_Byte_Order : uint8_t {
  eDeviceProcessor_BYTE_ORDER_LITTLE_ENDIAN = 0,
  eDeviceProcessor_BYTE_ORDER_BIG_ENDIAN = 1,
};

// Loader status codes and the texts the user sees for them.
enum : uint32_t {
  CMD_SUCCESS = 0,
  INVALID_COMMAND = 1,
  SECTOR_NOT_BLANK = 8,
  COMPARE_ERROR = 10,
  BUSY = 11,
};
const wchar_t* RemoteStatusText(uint32_t AStatus);

// Loader command codes.
enum : uint32_t {
  eRemoteCmd_Init = 40,
  eRemoteCmd_CfiQuery = 41,
  eRemoteCmd_Prepare = 50,
  eRemoteCmd_CopyRamToFlash = 51,
  eRemoteCmd_Erase = 52,
  eRemoteCmd_BlankCheck = 53,
  eRemoteCmd_Compare = 56,
  eRemoteCmd_ReadFlash = 57,
  eRemoteCmd_EraseAll = 58,
};

// Asked of a flash writer's dispatch pointer, the plug-in's own
// remote-execute writer answers itself (a TVEKAbstractRemoteExecuteBaseDriver
// pointer, one reference added), so the flash utility can tell its writer
// classes apart; a host's writer answers E_NOINTERFACE.
inline constexpr IID IID_IRemoteExecuteWriterObject = {
    0x6f1d2c84, 0x93a5, 0x4b0e, {0x8c, 0x1f, 0x52, 0x7a, 0xd0, 0x3e, 0x41, 0x96}};

class EFlashWriterError : public Exception {
public:
  using Exception::Exception;
};

// ---- the writer base -------------------------------------------------------

// A flash writer that programs flash through a loader program run in target
// RAM: the loader is installed over RAM that is saved first and restored
// afterwards, and driven by numbered commands through a command block and a
// result block. Descendants give the command set and the geometry.
//
// Creation is two-phase (CreateWriter), because loading the loader image
// asks the descendant for its file and placement.
//
// The writer reaches its processor driver the way the host does: run
// control and registers by the driver's DISPIDs (each call comes back
// through the driver's own dispatch), target memory through the driver's
// IMemoryAccess, queried for every transfer. It offers IMemoryAccess itself,
// passed through to the driver.
class TVEKAbstractRemoteExecuteBaseDriver : public TAbstractFlashWriter, public IMemoryAccess {
public:
  template <class TWriter, class... TArgs>
  static TComPtr<TWriter> CreateWriter(const ITarvoDriver& ADriver, bool AEnable,
                                       TArgs&&... AArgs) {
    TComPtr<TWriter> w(new TWriter(ADriver, AEnable, std::forward<TArgs>(AArgs)...));
    w->LoadAndInitDriver();
    return w;
  }
  ~TVEKAbstractRemoteExecuteBaseDriver() override;

  // ---- IUnknown: the writer's own reference count; also hands out
  // IMemoryAccess.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return TAbstractFlashWriter::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TAbstractFlashWriter::Release(); }

  // ---- host-facing operations ----
  HRESULT SetRemoteDriverDeviceTitle(const std::wstring& ATitle) override;
  HRESULT SetRemoteDriverVendorName(const std::wstring& AName) override;
  HRESULT SetRemoteDriverDeviceName(const std::wstring& AName) override;
  HRESULT SetRemoteDriverFileName(const std::wstring& AFileName) override;
  HRESULT SetRemoteDriverBaseAddress(uint32_t AAddress) override;
  HRESULT SetRemoteDriverMainEntryPoint(uint32_t AAddress) override;
  HRESULT SetRemoteDriverParamBaseAddress(uint32_t AAddress) override;
  HRESULT SetRemoteDriverDataBaseAddress(uint32_t AAddress) override;
  HRESULT GetRemoteDriverDeviceTitle(std::wstring* AResult) override;
  HRESULT GetRemoteDriverDeviceName(std::wstring* AResult) override;
  HRESULT GetRemoteDriverVendorName(std::wstring* AResult) override;
  HRESULT GetRemoteDriverFileName(std::wstring* AResult) override;
  HRESULT GetRemoteDriverBaseAddress(uint32_t* AResult) override;
  HRESULT GetRemoteDriverMainEntryPoint(uint32_t* AResult) override;
  HRESULT GetRemoteDriverParamBaseAddress(uint32_t* AResult) override;
  HRESULT GetRemoteDriverDataBaseAddress(uint32_t* AResult) override;
  HRESULT GetIsEnabled(TBoolean* AResult) override;
  HRESULT GetIsInitialized(TBoolean* AResult) override;
  HRESULT GetIsDriverLoaded(TBoolean* AResult) override;
  HRESULT GetIsDriverInstalled(TBoolean* AResult) override;
  HRESULT GetPreserveState(TBoolean* AResult) override;
  HRESULT GetIsAborting(TBoolean* AResult) override;

  HRESULT InstallDriver(int32_t* AResult) override;
  HRESULT UninstallDriver(int32_t* AResult) override;
  HRESULT WriteFlashImage(uint32_t ASpace, const IDataChunkImageInterface& AImage,
                          VARIANT_BOOL AAutoChecksum, VARIANT_BOOL APreserveSectorData,
                          VARIANT_BOOL AResetDeviceAfterLoad, VARIANT_BOOL AVerifyWrite,
                          int32_t* AResult) override;
  HRESULT BlankCheckSectors(uint32_t ASpace, uint32_t AFirstSector, uint32_t ALastSector,
                            int32_t* AResult) override;
  HRESULT EraseEntireDevice(uint32_t ASpace, int32_t* AResult) override;
  HRESULT EraseAddressRange(uint32_t ASpace, uint32_t AStartAddress, uint32_t AEndAddress,
                            VARIANT_BOOL APreserveSectorData, int32_t* AResult) override;
  HRESULT EraseSectorRange(uint32_t ASpace, uint32_t AFirstSector, uint32_t ALastSector,
                           int32_t* AResult) override;
  HRESULT CompareFlashImage(uint32_t ASpace, const IDataChunkImageInterface& AImage,
                            uint32_t ATargetAddress, uint32_t ALength, VARIANT_BOOL AAutoChecksum,
                            int32_t* AResult) override;
  HRESULT ClearFlashMemorySpaces() override;
  HRESULT GetFlashMemorySpaceCount(int32_t* AResult) override;
  HRESULT AddFlashMemorySpace(uint32_t AGlobalSpace, uint32_t AStartAddress, uint32_t AEndAddress,
                              uint32_t AWidthInBits, int32_t* AResult) override;
  HRESULT RequestAbort(int32_t* AResult) override;
  HRESULT IsAddressInFlash(uint32_t AGlobalSpace, uint32_t AAddress, TBoolean* AResult) override;
  HRESULT SetFlashWriterCallback(const IFlashWriterCallback& ACallback, int32_t* AResult) override;
  HRESULT IsFlashWidthSupported(int32_t AWidth, TBoolean* AResult) override;
  HRESULT GetDefaultFlashWidth(int32_t* AResult) override;
  HRESULT SupportsAction(uint32_t AAction, TBoolean* AResult) override;
  HRESULT GetFlashMemorySpace(uint32_t AIndex, uint32_t& AGlobalSpace, uint32_t& AStartAddress,
                              uint32_t& AEndAddress, uint32_t& AWidthInBits) override;
  HRESULT GetSupportedDevicesList(IStrings* AResult) override;
  // The devices the writer can be set to; none in the base.
  virtual std::vector<std::wstring> SupportedDeviceNames() const { return {}; }

  // ---- IMemoryAccess, passed through to the driver's: without one the
  // transfer answers success False and S_OK.
  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override;
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress,
                                        int32_t ACount, TLongBool* ASuccess) override;
  const ITarvoDriver& TarvoBaseDriver() const { return FTarvoBaseDriver; }

  // ---- operations in C++ terms (the host-facing ones wrap these) ----
  int32_t DoInstallDriver();
  int32_t DoUninstallDriver();
  uint32_t FlashWrite(uint32_t AIndex, TDataChunkImage AImage, bool AAutoChecksum,
                      bool APreserveSectorData, bool AResetAfterLoad, bool AVerify);
  uint32_t FlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd, bool AByWriting);
  uint32_t FlashCompare(uint32_t AIndex, TDataChunkImage AImage, uint32_t AAddress, uint32_t ACount,
                        bool AAutoChecksum);
  virtual uint32_t DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst, uint32_t ALast);
  uint32_t DoEraseEntireDevice(uint32_t AIndex);
  void BuildFlashImage(uint32_t AIndex, const TDataChunkImage& AImage, bool APreserveSectorData,
                       TDataChunkImage& AResult);

  void InitDriver(const std::wstring& AFileName, uint32_t ABaseAddress, uint32_t AEntryPoint,
                  uint32_t AParamBaseAddress, uint32_t ADataBaseAddress, uint32_t AMemorySpace);
  bool DoAbortCheck();
  uint32_t DispatchRemoteCommand(uint32_t ACommand, TRemoteCommandResult& AResult,
                                 const std::vector<uint32_t>& AParameters);

  // Flags.
  bool IsEnabled() const { return FInternalIsEnabled; }
  bool IsInitialized() const { return FInternalIsInitialized; }
  bool IsDriverLoaded() const { return FInternalIsDriverLoaded; }
  bool IsDriverInstalled() const { return FInternalIsDriverInstalled; }
  bool IsAborting() const { return FInternalAbort; }
  void ClearAbort() { FInternalAbort = false; }
  const TDynamicLongWordArray& DriverBreakPointArray() const { return FDriverBreakPointArray; }
  const TDataChunkImage& DriverImage() const { return FDriverImage; }
  const std::vector<TFlashMemorySpace>& FlashMemorySpaces() const { return FFlashMemorySpaceArray; }
  const TRemoteCommandResult& CommandResult() const { return FCommandResult; }
  std::wstring RemoteDriverDeviceTitle() const;
  const std::wstring& RemoteDriverDeviceName() const { return FDriverDeviceName; }
  const IFlashWriterCallback& Callback() const { return FInternalFlashWriterCallbackInterface; }

  // How long a loader command may keep the processor running before it is
  // halted and answers BUSY; a whole-device erase gets its own, longer limit.
  void SetCommandTimeLimits(uint32_t ACommandMs, uint32_t AEraseAllMs) {
    FCommandTimeLimitMs = ACommandMs;
    FEraseAllTimeLimitMs = AEraseAllMs;
  }
  static constexpr uint32_t kDefaultCommandTimeLimitMs = 20000;
  static constexpr uint32_t kDefaultEraseAllTimeLimitMs = 120000;
  static constexpr uint32_t kPollIntervalMs = 100;

  // ---- the descendants' operations ----
  virtual TDeviceProcessor_Byte_Order GetProcessorByteOrder() = 0;
  virtual void InjectChecksum(TDataChunkImage& AImage);
  virtual void ImportDataChunkImage(const IDataChunkImageInterface& AInterface,
                                    TDataChunkImage& AImage);
  virtual bool LoadAndInitDriver();
  virtual uint32_t InternalFlashWrite(uint32_t AIndex, uint32_t ARamAddress, uint32_t AFlashAddress,
                                      uint32_t ACount, bool AVerify) = 0;
  virtual uint32_t InternalFlashRead(uint32_t AIndex, PMemoryArray ABuffer, uint64_t AAddress,
                                     uint32_t ACount) = 0;
  virtual uint32_t InternalFlashErase(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) = 0;
  virtual void InternalInstallCycle() = 0;
  virtual uint32_t InternalFlashPrepare(uint32_t AIndex, uint32_t AStart, uint32_t AEnd) = 0;
  virtual int32_t InternalRemoteDriverInit();
  virtual uint32_t GetFlashPageFromAddress(uint32_t AIndex, uint32_t AAddress) = 0;
  virtual uint32_t GetFlashAddressFromPage(uint32_t AIndex, uint32_t APage) = 0;
  // Sector arithmetic in C++ terms; the host-facing forms wrap these.
  virtual uint32_t FlashAddressFromSector(uint32_t AIndex, uint32_t ASector) = 0;
  virtual uint32_t FlashSectorFromAddress(uint32_t AIndex, uint32_t AAddress) = 0;
  virtual uint32_t GetReservedSize() { return 4096; }
  virtual uint32_t GetDataBufferSize() { return 4096; }
  virtual uint32_t GetCompareBlockSize() { return 1024; }
  virtual uint32_t GetCommandBlockSize() { return 20; }
  virtual uint32_t GetResultBlockSize() { return 20; }
  virtual uint32_t GetDriverEntryPoint();
  virtual void LoadDriverImage();
  virtual void SetDriverBreakpoints();
  virtual void InitRemoteCommand(uint32_t ACommand, const std::vector<uint32_t>& AParameters);
  virtual void GetRemoteCommandResult(TRemoteCommandResult& AResult);
  // Registers the loader starts with; the base sets the program counter.
  virtual void SetLoaderStartRegisters();
  // Every RAM area the writer changes: saved at install, restored at uninstall.
  struct TRamArea {
    uint32_t Address = 0;
    uint32_t Count = 0;
  };
  virtual std::vector<TRamArea> GetWorkAreas();
  uint32_t RemoteDataWrite(const TDataChunkImage& AImage, bool AInjectChecksum);
  uint32_t RemoteDataWrite(uint32_t ATargetAddress, const uint32_t* AUnits, uint32_t ACount,
                           bool AInjectChecksum);

  HRESULT GetFlashAddressFromSector(uint32_t ASpace, uint32_t ASector, uint32_t* AResult) override;
  HRESULT GetFlashSectorFromAddress(uint32_t ASpace, uint32_t AAddress, uint32_t* AResult) override;

  TVEKAbstractRemoteExecuteBaseDriver(const ITarvoDriver& ADriver, bool AEnable);

protected:
  // Words in the processor's byte order, four units each.
  void EncodeWord(uint32_t AValue, uint32_t* AUnits);
  uint32_t DecodeWord(const uint32_t* AUnits);
  // Transfers through the writer's memory space; a failure raises.
  void ReadTarget(uint32_t AAddress, uint32_t* AUnits, uint32_t ACount);
  void WriteTarget(uint32_t AAddress, const uint32_t* AUnits, uint32_t ACount);
  // A read through another memory space (flash); a failure raises.
  void ReadSpace(uint32_t ASpace, uint32_t* AUnits, uint64_t AAddress, uint32_t ACount);
  // The driver, for run control by DISPID; raises when the writer has none.
  const ITarvoDriver& Driver() const;
  // Sets a core register by the driver's own index; a refused write raises.
  void SetRegister(int32_t AIndex, uint32_t AValue);
  // The driver's halt and stack-pointer index, by its DISPIDs as well.
  void PauseProcessor();
  int32_t GetRegisterIndex_SP();
  // The flash memory space at a list position; raises when the list is empty.
  const TFlashMemorySpace& FirstFlashSpace() const;
  bool DoAddFlashMemorySpace(uint32_t AGlobalSpace, uint32_t AStart, uint32_t AEnd,
                             uint32_t AWidth);

  bool FInternalIsEnabled = false;
  bool FInternalIsInitialized = false;
  bool FInternalIsDriverLoaded = false;
  bool FInternalIsDriverInstalled = false;
  bool FInternalPreserveState = false;
  bool FInternalAbort = false;
  IFlashWriterCallback FInternalFlashWriterCallbackInterface;
  TRemoteCommandResult FCommandResult;
  uint32_t FDeviceClockFrequency = 0;
  ITarvoDriver FTarvoBaseDriver;
  uint32_t FDriverBaseAddress = 0;
  uint32_t FDriverMainEntryPointOffset = 0;
  uint32_t FParamBaseAddress = 0;
  uint32_t FDataBaseAddress = 0;
  TDynamicLongWordArray FDriverBreakPointArray;
  uint32_t FDriverMemorySpaceIndex = 0;
  std::wstring FDriverDeviceTitle, FDriverVendorName, FDriverDeviceName, FDriverFileName;
  TDataChunkImage FDriverImage;
  // The RAM under every work area, as it was before the loader came.
  struct TSavedArea {
    uint32_t Address = 0;
    TDynamicLongWordArray Units;
  };
  std::vector<TSavedArea> FRestoreAreas;
  std::vector<TFlashMemorySpace> FFlashMemorySpaceArray;

private:
  uint32_t WaitForLoader(uint32_t ACommand);
  uint32_t FCommandTimeLimitMs = kDefaultCommandTimeLimitMs;
  uint32_t FEraseAllTimeLimitMs = kDefaultEraseAllTimeLimitMs;
};
