#include "flash-writer.h"

#include "client-access.h"
#include "dialogs.h"
#include "image-collector.h"
#include "image-loaders.h"
#include "outgoing-call.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr const wchar_t* kStatusTexts[] = {
    L"CMD_SUCCESS",         L"INVALID_COMMAND",
    L"SRC_ADDR_ERROR",      L"DST_ADDR_ERROR",
    L"SRC_ADDR_NOT_MAPPED", L"DST_ADDR_NOT_MAPPED",
    L"COUNT_ERROR",         L"INVALID_SECTOR",
    L"SECTOR_NOT_BLANK",    L"SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION",
    L"COMPARE_ERROR",       L"BUSY",
};

// Driver operations the writer calls by DISPID beyond those of the driver
// record: the halt of a loader that overran its time or that the user
// stopped, and the stack pointer's index for a loader that needs a stack.
constexpr THostCallDescriptor kDriverPauseProcessor{503797, 0, kCallMethod, 0, 0, {}};
constexpr THostCallDescriptor kDriverGetRegisterIndex_SP{503773, VT_I4, kCallMethod, 0, 0, {}};

// The word of an ARM halt loop ("b ."), which the loader may stop in.
constexpr uint32_t kHaltLoopWord = 0xEAFFFFFE;

std::wstring Hex(uint64_t AValue) {
  wchar_t text[24];
  swprintf(text, 24, L"0x%08llX", static_cast<unsigned long long>(AValue));
  return text;
}

// Where a transfer went, for the messages that name it.
std::wstring Span(uint64_t AAddress, uint32_t ACount) {
  return std::to_wstring(ACount) + L" bytes at " + Hex(AAddress);
}

// Runs one host-facing flash operation. A failure inside is told to the
// user in its own words (a failed transfer says what it was and what state
// the target was left in) and answers E_UNEXPECTED; no exception leaves.
template <class F> HRESULT Reported(F&& AOperation) noexcept {
  try {
    AOperation();
    return S_OK;
  } catch (const EFlashWriterError& e) {
    try {
      ShowError(e.Message());
    } catch (...) {
    }
  } catch (const Exception& e) {
    try {
      ShowError(L"The flash operation failed: " + e.Message());
    } catch (...) {
    }
  } catch (...) {
  }
  return E_UNEXPECTED;
}

bool FileExists(const std::wstring& APath) {
  const DWORD attributes = GetFileAttributesW(APath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

const wchar_t* RemoteStatusText(uint32_t AStatus) {
  return AStatus < std::size(kStatusTexts) ? kStatusTexts[AStatus] : L"UNKNOWN_STATUS";
}

TVEKAbstractRemoteExecuteBaseDriver::TVEKAbstractRemoteExecuteBaseDriver(
    const ITarvoDriver& ADriver, bool AEnable)
    : FInternalIsEnabled(AEnable), FTarvoBaseDriver(ADriver) {}

HRESULT STDMETHODCALLTYPE TVEKAbstractRemoteExecuteBaseDriver::QueryInterface(REFIID AIid,
                                                                              void** AObject) {
  if (AObject && IsEqualIID(AIid, IID_IMemoryAccess)) {
    *AObject = static_cast<IMemoryAccess*>(this);
    AddRef();
    return S_OK;
  }
  if (AObject && IsEqualIID(AIid, IID_IRemoteExecuteWriterObject)) {
    *AObject = this;
    AddRef();
    return S_OK;
  }
  return TAbstractFlashWriter::QueryInterface(AIid, AObject);
}

TVEKAbstractRemoteExecuteBaseDriver::~TVEKAbstractRemoteExecuteBaseDriver() = default;

// ---- loading, installing ------------------------------------------------------

void TVEKAbstractRemoteExecuteBaseDriver::InitDriver(const std::wstring& AFileName,
                                                     uint32_t ABaseAddress, uint32_t AEntryPoint,
                                                     uint32_t AParamBaseAddress,
                                                     uint32_t ADataBaseAddress,
                                                     uint32_t AMemorySpace) {
  (void)AEntryPoint; // the loader is started at GetDriverEntryPoint
  FDeviceClockFrequency = 12000000;
  FDriverFileName = AFileName;
  FDriverBaseAddress = ABaseAddress;
  FParamBaseAddress = AParamBaseAddress;
  FDataBaseAddress = ADataBaseAddress;
  FDriverMemorySpaceIndex = AMemorySpace;
  FInternalIsInitialized = true;
  FInternalIsDriverInstalled = false;
  FInternalIsDriverLoaded = false;
  LoadDriverImage();
  FFlashMemorySpaceArray.clear();
}

void TVEKAbstractRemoteExecuteBaseDriver::LoadDriverImage() {
  FInternalIsDriverLoaded = false;
  if (!FileExists(FDriverFileName))
    return;
  TLoadFileCallBackHelper helper(&LoadFile);
  if (!helper.ProcessFile(FDriverFileName))
    return;
  FDriverImage.DataArray = helper.GetBuffer();
  FDriverImage.DataLen = uint32_t(FDriverImage.DataArray.size());

  uint32_t pattern[4];
  EncodeWord(kHaltLoopWord, pattern);
  FDriverBreakPointArray.assign(1, 0);
  const auto& units = FDriverImage.DataArray;
  for (uint32_t offset = 0; offset + 4 <= FDriverImage.DataLen; offset += 4) {
    const bool same = std::equal(pattern, pattern + 4, units.begin() + offset);
    const bool reversed =
        std::equal(pattern, pattern + 4, units.rbegin() + (units.size() - offset - 4));
    if (same || reversed)
      FDriverBreakPointArray.push_back(offset);
  }
  FInternalIsDriverLoaded = true;
}

bool TVEKAbstractRemoteExecuteBaseDriver::LoadAndInitDriver() {
  return true;
}

int32_t TVEKAbstractRemoteExecuteBaseDriver::InternalRemoteDriverInit() {
  return 0;
}

std::vector<TVEKAbstractRemoteExecuteBaseDriver::TRamArea>
TVEKAbstractRemoteExecuteBaseDriver::GetWorkAreas() {
  return {{FDriverBaseAddress, FDriverImage.DataLen},
          {FParamBaseAddress, GetCommandBlockSize() + GetResultBlockSize()},
          {FDataBaseAddress, GetDataBufferSize()}};
}

int32_t TVEKAbstractRemoteExecuteBaseDriver::DoInstallDriver() {
  if (!FInternalIsDriverLoaded)
    return 0;
  // Installed already: the RAM now holds the loader, and saving it again
  // would put the loader back at uninstall instead of the user's data.
  if (FInternalIsDriverInstalled)
    return 1;
  Driver().ResetProcessor();
  // Everything the loader, its blocks and its buffer will cover is saved
  // before anything is written, so a restore in any order gives it back,
  // and a save that fails leaves the target as it was.
  std::vector<TSavedArea> saved;
  for (const TRamArea& area : GetWorkAreas()) {
    TSavedArea s;
    s.Address = area.Address;
    s.Units.resize(area.Count);
    if (area.Count != 0) {
      try {
        ReadTarget(area.Address, s.Units.data(), area.Count);
      } catch (const EFlashWriterError& e) {
        throw EFlashWriterError(L"The flash loader was not installed: saving the target RAM it "
                                L"covers failed (" +
                                e.Message() + L"). Nothing was written; target RAM is unchanged.");
      }
    }
    saved.push_back(std::move(s));
  }
  try {
    WriteTarget(FDriverBaseAddress, FDriverImage.DataArray.data(), FDriverImage.DataLen);
  } catch (const EFlashWriterError& e) {
    bool restored = true;
    for (const TSavedArea& s : saved)
      try {
        if (!s.Units.empty())
          WriteTarget(s.Address, s.Units.data(), uint32_t(s.Units.size()));
      } catch (...) {
        restored = false;
      }
    throw EFlashWriterError(L"The flash loader was not installed: writing it into target RAM "
                            L"failed (" +
                            e.Message() +
                            (restored ? L"). The saved RAM was written back."
                                      : L"). Writing the saved RAM back failed too."));
  }
  FRestoreAreas = std::move(saved);
  FInternalIsDriverInstalled = true;
  try {
    InternalRemoteDriverInit();
  } catch (...) {
    // A loader that cannot be started is taken out at once: the user's RAM
    // comes back now, not at an uninstall that may never be asked for.
    try {
      DoUninstallDriver();
    } catch (...) {
    }
    throw;
  }
  return 1;
}

int32_t TVEKAbstractRemoteExecuteBaseDriver::DoUninstallDriver() {
  Driver().ResetProcessor();
  // Only RAM saved by an install is put back: a second uninstall must not
  // write stale contents over what the target holds now. A restore that
  // fails keeps the saved RAM and the installed state, so that uninstalling
  // again tries the restore again.
  if (FInternalIsDriverInstalled) {
    for (auto s = FRestoreAreas.rbegin(); s != FRestoreAreas.rend(); ++s) {
      if (s->Units.empty())
        continue;
      try {
        WriteTarget(s->Address, s->Units.data(), uint32_t(s->Units.size()));
      } catch (const EFlashWriterError& e) {
        throw EFlashWriterError(L"Restoring the target RAM under the flash loader failed (" +
                                e.Message() +
                                L"). The loader stays installed; uninstalling it again retries "
                                L"the restore.");
      }
    }
    FInternalIsDriverInstalled = false;
    FRestoreAreas.clear();
  }
  return 0;
}

// ---- the loader protocol ------------------------------------------------------

void TVEKAbstractRemoteExecuteBaseDriver::EncodeWord(uint32_t AValue, uint32_t* AUnits) {
  const bool big = GetProcessorByteOrder() == eDeviceProcessor_BYTE_ORDER_BIG_ENDIAN;
  for (unsigned i = 0; i < 4; ++i)
    AUnits[big ? 3 - i : i] = (AValue >> (8 * i)) & 0xFF;
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::DecodeWord(const uint32_t* AUnits) {
  const bool big = GetProcessorByteOrder() == eDeviceProcessor_BYTE_ORDER_BIG_ENDIAN;
  uint32_t value = 0;
  for (unsigned i = 0; i < 4; ++i)
    value |= (AUnits[big ? 3 - i : i] & 0xFF) << (8 * i);
  return value;
}

void TVEKAbstractRemoteExecuteBaseDriver::ReadSpace(uint32_t ASpace, uint32_t* AUnits,
                                                    uint64_t AAddress, uint32_t ACount) {
  TLongBool success = LongFalse;
  const HRESULT hr =
      MemoryRead(int32_t(ASpace), AUnits, int64_t(AAddress), int32_t(ACount), &success);
  if (FAILED(hr) || success == LongFalse)
    throw EFlashWriterError(L"reading " + Span(AAddress, ACount) + L" of target memory failed");
}

void TVEKAbstractRemoteExecuteBaseDriver::ReadTarget(uint32_t AAddress, uint32_t* AUnits,
                                                     uint32_t ACount) {
  ReadSpace(FDriverMemorySpaceIndex, AUnits, AAddress, ACount);
}

void TVEKAbstractRemoteExecuteBaseDriver::WriteTarget(uint32_t AAddress, const uint32_t* AUnits,
                                                      uint32_t ACount) {
  TLongBool success = LongFalse;
  const HRESULT hr = MemoryWrite(int32_t(FDriverMemorySpaceIndex), const_cast<uint32_t*>(AUnits),
                                 int64_t(AAddress), int32_t(ACount), &success);
  if (FAILED(hr) || success == LongFalse)
    throw EFlashWriterError(L"writing " + Span(AAddress, ACount) + L" of target memory failed");
}

const ITarvoDriver& TVEKAbstractRemoteExecuteBaseDriver::Driver() const {
  if (FTarvoBaseDriver.IsEmpty())
    throw EFlashWriterError(L"The flash writer belongs to no processor driver.");
  return FTarvoBaseDriver;
}

void TVEKAbstractRemoteExecuteBaseDriver::PauseProcessor() {
  HostCallVoid(Driver().Intf(), kDriverPauseProcessor);
}

int32_t TVEKAbstractRemoteExecuteBaseDriver::GetRegisterIndex_SP() {
  return HostCallInt(Driver().Intf(), kDriverGetRegisterIndex_SP);
}

void TVEKAbstractRemoteExecuteBaseDriver::SetRegister(int32_t AIndex, uint32_t AValue) {
  if (!Driver().SetProcessorRegisterValue(AIndex, int32_t(AValue)))
    throw EFlashWriterError(L"The processor driver refused to set register " +
                            std::to_wstring(AIndex) + L" for the flash loader.");
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::GetDriverEntryPoint() {
  return FDriverBaseAddress + GetCommandBlockSize() + GetResultBlockSize();
}

void TVEKAbstractRemoteExecuteBaseDriver::SetDriverBreakpoints() {
  if (!FInternalIsDriverLoaded)
    return;
  // Planted by the device, as the host plants them; the breakpoints it
  // answers are not kept.
  const ITarvoDevice device = Driver().GetTarvoDevice();
  if (device.IsEmpty())
    throw EFlashWriterError(L"The flash loader's breakpoints cannot be set: the processor driver "
                            L"is bound to no device.");
  for (uint32_t offset : FDriverBreakPointArray)
    device.AddSoftBreakpoint(int32_t(FDriverMemorySpaceIndex),
                             int64_t(uint64_t(FDriverBaseAddress) + offset));
}

void TVEKAbstractRemoteExecuteBaseDriver::SetLoaderStartRegisters() {
  SetRegister(Driver().GetRegisterIndex_PC(), GetDriverEntryPoint());
}

void TVEKAbstractRemoteExecuteBaseDriver::InitRemoteCommand(
    uint32_t ACommand, const std::vector<uint32_t>& AParameters) {
  if (!FInternalIsDriverLoaded)
    return;
  SetDriverBreakpoints();
  const uint32_t commandSize = GetCommandBlockSize();
  const uint32_t resultSize = GetResultBlockSize();
  // The result block goes out with the command, its status BUSY, so that a
  // loader that never gets to answer cannot pass for the previous success.
  std::vector<uint32_t> block(commandSize + resultSize, 0);
  EncodeWord(ACommand, &block[0]);
  const size_t parameters = std::min<size_t>(AParameters.size(), commandSize / 4 - 1);
  for (size_t k = 0; k < parameters; ++k)
    EncodeWord(AParameters[k], &block[4 * (k + 1)]);
  if (resultSize >= 4)
    EncodeWord(BUSY, &block[commandSize]);
  WriteTarget(FParamBaseAddress, block.data(), uint32_t(block.size()));
  Driver().ResetProcessor();
  SetLoaderStartRegisters();
}

void TVEKAbstractRemoteExecuteBaseDriver::GetRemoteCommandResult(TRemoteCommandResult& AResult) {
  const uint32_t size = GetResultBlockSize();
  std::vector<uint32_t> units(std::max<uint32_t>(size, 4), 0);
  ReadTarget(FParamBaseAddress + GetCommandBlockSize(), units.data(), size);
  AResult = TRemoteCommandResult();
  AResult.statusCode = DecodeWord(&units[0]);
  for (uint32_t k = 0; k < 4 && 4 * (k + 2) <= size; ++k) {
    const uint32_t* w = &units[4 * (k + 1)];
    AResult.resultArray[k] =
        (w[0] & 0xFF) | (w[1] & 0xFF) << 8 | (w[2] & 0xFF) << 16 | (w[3] & 0xFF) << 24;
  }
}

bool TVEKAbstractRemoteExecuteBaseDriver::DoAbortCheck() {
  return !FInternalFlashWriterCallbackInterface.IsEmpty() &&
         FInternalFlashWriterCallbackInterface.GetAbortRequested();
}

namespace {
constexpr uint32_t kLoaderDone = 0, kLoaderAborted = 1, kLoaderTimedOut = 2;
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::WaitForLoader(uint32_t ACommand) {
  const uint32_t limit =
      ACommand == eRemoteCmd_EraseAll ? FEraseAllTimeLimitMs : FCommandTimeLimitMs;
  const ULONGLONG start = GetTickCount64();
  // The processor is asked before the clock is: a loader that has finished
  // by a poll is never taken for a stuck one, however long the poll took.
  while (Driver().ProcessorIsRunning()) {
    if (GetTickCount64() - start >= limit) {
      PauseProcessor();
      return kLoaderTimedOut;
    }
    Sleep(kPollIntervalMs);
    if (DoAbortCheck()) {
      // The loader must not go on writing flash after the user stopped it.
      PauseProcessor();
      return kLoaderAborted;
    }
  }
  return kLoaderDone;
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::DispatchRemoteCommand(
    uint32_t ACommand, TRemoteCommandResult& AResult, const std::vector<uint32_t>& AParameters) {
  if (!FInternalIsDriverLoaded)
    return 1;
  TDriverTransaction transaction(*this);
  InitRemoteCommand(ACommand, AParameters);
  Driver().ContinueProcessor();
  switch (WaitForLoader(ACommand)) {
  case kLoaderAborted:
    AResult = TRemoteCommandResult();
    AResult.statusCode = 1;
    return 1;
  case kLoaderTimedOut: {
    const uint32_t limit =
        ACommand == eRemoteCmd_EraseAll ? FEraseAllTimeLimitMs : FCommandTimeLimitMs;
    ShowError(L"The flash loader did not finish command " + std::to_wstring(ACommand) +
              L" within " + std::to_wstring((limit + 999) / 1000) +
              L" s; the processor was halted and the command reports BUSY.");
    AResult = TRemoteCommandResult();
    AResult.statusCode = BUSY;
    return BUSY;
  }
  default:
    GetRemoteCommandResult(AResult);
    return AResult.statusCode;
  }
}

// ---- images -------------------------------------------------------------------

void TVEKAbstractRemoteExecuteBaseDriver::InjectChecksum(TDataChunkImage& AImage) {
  (void)AImage;
}

void TVEKAbstractRemoteExecuteBaseDriver::ImportDataChunkImage(
    const IDataChunkImageInterface& AInterface, TDataChunkImage& AImage) {
  AImage.TargetAddr = uint32_t(AInterface.GetTargetAddr());
  const int32_t length = AInterface.GetDataLen();
  AImage.DataLen = length > 0 ? uint32_t(length) : 0;
  AImage.DataArray.assign(AImage.DataLen, 0);
  for (uint32_t i = 0; i < AImage.DataLen; ++i)
    AImage.DataArray[i] = uint32_t(AInterface.GetDataArrayItem(int32_t(i)));
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::RemoteDataWrite(const TDataChunkImage& AImage,
                                                              bool AInjectChecksum) {
  (void)AInjectChecksum;
  WriteTarget(AImage.TargetAddr, AImage.DataArray.data(), AImage.DataLen);
  return 0;
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::RemoteDataWrite(uint32_t ATargetAddress,
                                                              const uint32_t* AUnits,
                                                              uint32_t ACount,
                                                              bool AInjectChecksum) {
  (void)AInjectChecksum;
  WriteTarget(ATargetAddress, AUnits, ACount);
  return 0;
}

// ---- flash memory spaces ------------------------------------------------------

const TFlashMemorySpace& TVEKAbstractRemoteExecuteBaseDriver::FirstFlashSpace() const {
  if (FFlashMemorySpaceArray.empty())
    throw EFlashWriterError(L"The flash writer has no flash memory space");
  return FFlashMemorySpaceArray.front();
}

bool TVEKAbstractRemoteExecuteBaseDriver::DoAddFlashMemorySpace(uint32_t AGlobalSpace,
                                                                uint32_t AStart, uint32_t AEnd,
                                                                uint32_t AWidth) {
  FFlashMemorySpaceArray.push_back({AGlobalSpace, AStart, AEnd, AWidth});
  return true;
}

std::wstring TVEKAbstractRemoteExecuteBaseDriver::RemoteDriverDeviceTitle() const {
  return !FDriverDeviceTitle.empty() ? FDriverDeviceTitle
                                     : FDriverVendorName + L" " + FDriverDeviceName;
}

// ---- host-facing operations ---------------------------------------------------

#define ORV_SETTER(AName, AType, AField)                                                           \
  HRESULT TVEKAbstractRemoteExecuteBaseDriver::Set##AName(AType AValue) {                          \
    AField = AValue;                                                                               \
    return S_OK;                                                                                   \
  }
#define ORV_GETTER(AName, AType, AExpression)                                                      \
  HRESULT TVEKAbstractRemoteExecuteBaseDriver::Get##AName(AType* AResult) {                        \
    return Guarded([&] { *AResult = AExpression; });                                               \
  }

ORV_SETTER(RemoteDriverDeviceTitle, const std::wstring&, FDriverDeviceTitle)
ORV_SETTER(RemoteDriverVendorName, const std::wstring&, FDriverVendorName)
ORV_SETTER(RemoteDriverDeviceName, const std::wstring&, FDriverDeviceName)
ORV_SETTER(RemoteDriverFileName, const std::wstring&, FDriverFileName)
ORV_SETTER(RemoteDriverBaseAddress, uint32_t, FDriverBaseAddress)
ORV_SETTER(RemoteDriverMainEntryPoint, uint32_t, FDriverMainEntryPointOffset)
ORV_SETTER(RemoteDriverParamBaseAddress, uint32_t, FParamBaseAddress)
ORV_SETTER(RemoteDriverDataBaseAddress, uint32_t, FDataBaseAddress)
ORV_GETTER(RemoteDriverDeviceTitle, std::wstring, RemoteDriverDeviceTitle())
ORV_GETTER(RemoteDriverDeviceName, std::wstring, FDriverDeviceName)
ORV_GETTER(RemoteDriverVendorName, std::wstring, FDriverVendorName)
ORV_GETTER(RemoteDriverFileName, std::wstring, FDriverFileName)
ORV_GETTER(RemoteDriverBaseAddress, uint32_t, FDriverBaseAddress)
ORV_GETTER(RemoteDriverMainEntryPoint, uint32_t, FDriverMainEntryPointOffset)
ORV_GETTER(RemoteDriverParamBaseAddress, uint32_t, FParamBaseAddress)
ORV_GETTER(RemoteDriverDataBaseAddress, uint32_t, FDataBaseAddress)
ORV_GETTER(IsEnabled, TBoolean, FInternalIsEnabled)
ORV_GETTER(IsInitialized, TBoolean, FInternalIsInitialized)
ORV_GETTER(IsDriverLoaded, TBoolean, FInternalIsDriverLoaded)
ORV_GETTER(IsDriverInstalled, TBoolean, FInternalIsDriverInstalled)
ORV_GETTER(PreserveState, TBoolean, FInternalPreserveState)
ORV_GETTER(IsAborting, TBoolean, FInternalAbort)

#undef ORV_SETTER
#undef ORV_GETTER

HRESULT TVEKAbstractRemoteExecuteBaseDriver::InstallDriver(int32_t* AResult) {
  return Reported([&] { *AResult = DoInstallDriver(); });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::UninstallDriver(int32_t* AResult) {
  return Reported([&] { *AResult = DoUninstallDriver(); });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::WriteFlashImage(
    uint32_t ASpace, const IDataChunkImageInterface& AImage, VARIANT_BOOL AAutoChecksum,
    VARIANT_BOOL APreserveSectorData, VARIANT_BOOL AResetDeviceAfterLoad, VARIANT_BOOL AVerifyWrite,
    int32_t* AResult) {
  return Reported([&] {
    TDataChunkImage image;
    ImportDataChunkImage(AImage, image);
    *AResult =
        int32_t(FlashWrite(ASpace, std::move(image), AAutoChecksum != 0, APreserveSectorData != 0,
                           AResetDeviceAfterLoad != 0, AVerifyWrite != 0));
  });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::BlankCheckSectors(uint32_t ASpace,
                                                               uint32_t AFirstSector,
                                                               uint32_t ALastSector,
                                                               int32_t* AResult) {
  return Reported(
      [&] { *AResult = int32_t(DoBlankCheckSectors(ASpace, AFirstSector, ALastSector)); });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::EraseEntireDevice(uint32_t ASpace, int32_t* AResult) {
  return Reported([&] { *AResult = int32_t(DoEraseEntireDevice(ASpace)); });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::EraseAddressRange(uint32_t ASpace,
                                                               uint32_t AStartAddress,
                                                               uint32_t AEndAddress,
                                                               VARIANT_BOOL APreserveSectorData,
                                                               int32_t* AResult) {
  return Reported([&] {
    *AResult = int32_t(FlashErase(ASpace, AStartAddress, AEndAddress, APreserveSectorData != 0));
  });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::EraseSectorRange(uint32_t ASpace,
                                                              uint32_t AFirstSector,
                                                              uint32_t ALastSector,
                                                              int32_t* AResult) {
  return Reported([&] {
    const uint32_t start = FlashAddressFromSector(ASpace, AFirstSector);
    const uint32_t end = FlashAddressFromSector(ASpace, ALastSector);
    *AResult = int32_t(FlashErase(ASpace, start, end, false));
  });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::CompareFlashImage(
    uint32_t ASpace, const IDataChunkImageInterface& AImage, uint32_t ATargetAddress,
    uint32_t ALength, VARIANT_BOOL AAutoChecksum, int32_t* AResult) {
  return Reported([&] {
    TDataChunkImage image;
    ImportDataChunkImage(AImage, image);
    *AResult = int32_t(
        FlashCompare(ASpace, std::move(image), ATargetAddress, ALength, AAutoChecksum != 0));
  });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::ClearFlashMemorySpaces() {
  FFlashMemorySpaceArray.clear();
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::GetFlashMemorySpaceCount(int32_t* AResult) {
  *AResult = int32_t(FFlashMemorySpaceArray.size());
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::AddFlashMemorySpace(uint32_t AGlobalSpace,
                                                                 uint32_t AStartAddress,
                                                                 uint32_t AEndAddress,
                                                                 uint32_t AWidthInBits,
                                                                 int32_t* AResult) {
  return Guarded([&] {
    DoAddFlashMemorySpace(AGlobalSpace, AStartAddress, AEndAddress, AWidthInBits);
    *AResult = 0;
  });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::RequestAbort(int32_t* AResult) {
  FInternalAbort = true;
  *AResult = 0;
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::IsAddressInFlash(uint32_t AGlobalSpace,
                                                              uint32_t AAddress,
                                                              TBoolean* AResult) {
  bool inside = false;
  for (const TFlashMemorySpace& s : FFlashMemorySpaceArray)
    if (s.globalMemorySpaceIndex == AGlobalSpace && s.startAddress <= AAddress &&
        uint64_t(AAddress) <= uint64_t(s.startAddress) + s.endAddress)
      inside = true;
  *AResult = inside;
  return S_OK;
}

HRESULT
TVEKAbstractRemoteExecuteBaseDriver::SetFlashWriterCallback(const IFlashWriterCallback& ACallback,
                                                            int32_t* AResult) {
  FInternalFlashWriterCallbackInterface = ACallback;
  *AResult = 0;
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::IsFlashWidthSupported(int32_t AWidth,
                                                                   TBoolean* AResult) {
  (void)AWidth;
  *AResult = true;
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::GetDefaultFlashWidth(int32_t* AResult) {
  *AResult = 16;
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::SupportsAction(uint32_t AAction, TBoolean* AResult) {
  constexpr uint32_t kActions[] = {50, 51, 52, 53, 56};
  *AResult = std::find(std::begin(kActions), std::end(kActions), AAction) != std::end(kActions);
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::GetFlashMemorySpace(uint32_t AIndex,
                                                                 uint32_t& AGlobalSpace,
                                                                 uint32_t& AStartAddress,
                                                                 uint32_t& AEndAddress,
                                                                 uint32_t& AWidthInBits) {
  if (AIndex < FFlashMemorySpaceArray.size()) {
    const TFlashMemorySpace& s = FFlashMemorySpaceArray[AIndex];
    AGlobalSpace = s.globalMemorySpaceIndex;
    AStartAddress = s.startAddress;
    AEndAddress = s.endAddress;
    AWidthInBits = s.widthInBits;
  }
  return S_OK;
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::GetSupportedDevicesList(IStrings* AResult) {
  return Guarded([&] {
    TComPtr<TADStrings> list(new TADStrings);
    list->Strings() = SupportedDeviceNames();
    *AResult = IStrings::FromDispatch(list.Get());
  });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::GetFlashAddressFromSector(uint32_t ASpace,
                                                                       uint32_t ASector,
                                                                       uint32_t* AResult) {
  return Guarded([&] { *AResult = FlashAddressFromSector(ASpace, ASector); });
}

HRESULT TVEKAbstractRemoteExecuteBaseDriver::GetFlashSectorFromAddress(uint32_t ASpace,
                                                                       uint32_t AAddress,
                                                                       uint32_t* AResult) {
  return Guarded([&] { *AResult = FlashSectorFromAddress(ASpace, AAddress); });
}

namespace {

// The driver's memory interface, queried anew for every transfer.
TComPtr<IMemoryAccess> DriverMemoryAccess(const ITarvoDriver& ADriver) {
  IMemoryAccess* access = nullptr;
  if (ADriver.IsEmpty() ||
      FAILED(
          ADriver.Intf()->QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(&access))) ||
      !access)
    return {};
  return TComPtr<IMemoryAccess>::Attach(access);
}

} // namespace

HRESULT STDMETHODCALLTYPE TVEKAbstractRemoteExecuteBaseDriver::MemoryRead(
    int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress, int32_t ACount, TLongBool* ASuccess) {
  if (!ASuccess)
    return E_POINTER;
  *ASuccess = LongFalse;
  const TComPtr<IMemoryAccess> access = DriverMemoryAccess(FTarvoBaseDriver);
  return access ? access->MemoryRead(ASpace, ABuffer, AAddress, ACount, ASuccess) : S_OK;
}

HRESULT STDMETHODCALLTYPE TVEKAbstractRemoteExecuteBaseDriver::MemoryWrite(
    int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress, int32_t ACount, TLongBool* ASuccess) {
  if (!ASuccess)
    return E_POINTER;
  *ASuccess = LongFalse;
  const TComPtr<IMemoryAccess> access = DriverMemoryAccess(FTarvoBaseDriver);
  return access ? access->MemoryWrite(ASpace, ABuffer, AAddress, ACount, ASuccess) : S_OK;
}
