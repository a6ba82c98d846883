#include "arm-base.h"

#include "actions.h"
#include "dispatch.h"
#include "embedded-access.h"
#include "exceptions.h"
#include "host-modules.h"

#include <cstdio>
#include <cwctype>
#include <utility>

namespace {

constexpr int32_t kBaseRegisterCount = 47;

struct TBaseRegisterName {
  const wchar_t* Name;
  const wchar_t* ShortName;
};

constexpr TBaseRegisterName kBaseRegisters[kBaseRegisterCount] = {
    {L"R0", L"R0"},
    {L"R1", L"R1"},
    {L"R2", L"R2"},
    {L"R3", L"R3"},
    {L"R4", L"R4"},
    {L"R5", L"R5"},
    {L"R6", L"R6"},
    {L"R7", L"R7"},
    {L"R8", L"R8"},
    {L"R9", L"R9"},
    {L"R10", L"R10"},
    {L"R11", L"R11"},
    {L"R12/IP", L"R12"},
    {L"R13/SP", L"R13"},
    {L"R14/LR", L"R14"},
    {L"R15/PC", L"R15"},
    {L"CPSR", L"CPSR"},
    {L"SPSR", L"SPSR"},
    {L"TBIT (pseudo)", L"TBIT"},
    {L"LC (pseudo)", L"LC"},
    {L"R8_USR", L"R8_USR"},
    {L"R9_USR", L"R9_USR"},
    {L"R10_USR", L"R10_USR"},
    {L"R11_USR", L"R11_USR"},
    {L"R12_USR", L"R12_USR"},
    {L"R13_USR", L"R13_USR"},
    {L"R14_USR", L"R14_USR"},
    {L"R13_SVC", L"R13_SVC"},
    {L"R14_SVC", L"R14_SVC"},
    {L"SPSR_SVC", L"SPSR_SVC"},
    {L"R13_ABT", L"R13_ABT"},
    {L"R14_ABT", L"R14_ABT"},
    {L"SPSR_ABT", L"SPSR_ABT"},
    {L"R13_UND", L"R13_UND"},
    {L"R14_UND", L"R14_UND"},
    {L"SPSR_UND", L"SPSR_UND"},
    {L"R13_IRQ", L"R13_IRQ"},
    {L"R14_IRQ", L"R14_IRQ"},
    {L"SPSR_IRQ", L"SPSR_IRQ"},
    {L"R8_FIQ", L"R8_FIQ"},
    {L"R9_FIQ", L"R9_FIQ"},
    {L"R10_FIQ", L"R10_FIQ"},
    {L"R11_FIQ", L"R11_FIQ"},
    {L"R12_FIQ", L"R12_FIQ"},
    {L"R13_FIQ", L"R13_FIQ"},
    {L"R14_FIQ", L"R14_FIQ"},
    {L"SPSR_FIQ", L"SPSR_FIQ"},
};

// The actions every ARM driver answers True for.
constexpr TTarvoAction kArmActions[] = {
    TTarvoAction::PauseProcessor, TTarvoAction::ContinueProcessor,
    TTarvoAction::ResetProcessor, TTarvoAction::SingleStepProcessor,
    TTarvoAction::CompileProgram, TTarvoAction::DownloadProgram,
    TTarvoAction::StartDebug,     TTarvoAction::StartAttach,
    TTarvoAction::EndDebug,       TTarvoAction::ShowAboutDialog,
    TTarvoAction::ResetDevice,    TTarvoAction::DownloadToDevice,
    TTarvoAction::ShowViewer,     TTarvoAction::ProcessorMenu,
    TTarvoAction::VerifyProgram,
};

constexpr const wchar_t* kArmServices[] = {L"ARMEmbeddedICE", L"ARMTarvoDriver"};

bool InBaseRange(int32_t AIndex) {
  return AIndex >= 0 && AIndex < kBaseRegisterCount;
}

constexpr TDispEntry kEmbeddedIceTable[] = {
    Op<&TARMBase::IceOpenJtagChannel>(509025),
    Op<&TARMBase::IceCloseJtagChannel>(509026),
    Op<&TARMBase::IceSetICERegister>(509027),
    Op<&TARMBase::IceGetICERegister>(509028),
    Op<&TARMBase::IceReadRegister>(509029),
    Op<&TARMBase::IceWriteRegister>(509030),
    Op<&TARMBase::IceReadModeRegister>(509031),
    Op<&TARMBase::IceWriteModeRegister>(509032),
    Op<&TARMBase::IceReadMemory_Byte>(509033),
    Op<&TARMBase::IceReadMemory_HalfWord>(509034),
    Op<&TARMBase::IceReadMemory_Word>(509035),
    Op<&TARMBase::IceWriteMemory_Byte>(509036),
    Op<&TARMBase::IceWriteMemory_HalfWord>(509037),
    Op<&TARMBase::IceWriteMemory_Word>(509038),
    Op<&TARMBase::IceSaveState>(509039),
    Op<&TARMBase::IceRestoreState>(509040),
    Op<&TARMBase::IceClearState>(509041),
    Op<&TARMBase::IceSwitchProcessorMode_Begin>(509042),
    Op<&TARMBase::IceSwitchProcessorMode_End>(509043),
    Op<&TARMBase::IceChangeToARMState>(509044),
    Op<&TARMBase::IceChangeToThumbState>(509045),
    Op<&TARMBase::IceInitWatchPoints>(509046),
    Op<&TARMBase::IceGetTranslationTableBase>(509047),
    Op<&TARMBase::IceTranslateVirtualAddress>(509048),
    Op<&TARMBase::IceHasTinyPages>(509049),
    Op<&TARMBase::IceEnableMMUCaches>(509050),
    Op<&TARMBase::IceDisableMMUCaches>(509051),
    Op<&TARMBase::IceDisableMMUCaches3>(509052),
    Op<&TARMBase::IceInitializeMemory>(509053),
};

} // namespace

// ---- own virtual operations: placeholders ----------------------------------

HRESULT TARMBase::ReadRegister(int32_t, uint32_t* AValue) {
  *AValue = 0;
  return S_OK;
}
HRESULT TARMBase::WriteRegister(int32_t, uint32_t) {
  return S_OK;
}
HRESULT TARMBase::ReadMemory_Byte(uint32_t, uint32_t* AValue) {
  *AValue = 0;
  return S_OK;
}
HRESULT TARMBase::ReadMemory_HalfWord(uint32_t, uint32_t* AValue) {
  *AValue = 0;
  return S_OK;
}
HRESULT TARMBase::ReadMemory_Word(uint32_t, uint32_t* AValue) {
  *AValue = 0;
  return S_OK;
}
HRESULT TARMBase::WriteMemory_Byte(uint32_t, uint32_t) {
  return S_OK;
}
HRESULT TARMBase::WriteMemory_HalfWord(uint32_t, uint32_t) {
  return S_OK;
}
HRESULT TARMBase::WriteMemory_Word(uint32_t, uint32_t) {
  return S_OK;
}

HRESULT TARMBase::ReadBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                            int32_t ACount) {
  for (int32_t i = 0; i < ACount; ++i) {
    uint32_t value = 0;
    const HRESULT hr = ReadMemory_Byte(uint32_t(AAddress + i), &value);
    if (FAILED(hr))
      return hr;
    ABuffer[AIndex + i] = value & 0xFF;
  }
  return S_OK;
}

HRESULT TARMBase::WriteBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                             int32_t ACount) {
  for (int32_t i = 0; i < ACount; ++i) {
    const HRESULT hr = WriteMemory_Byte(uint32_t(AAddress + i), ABuffer[AIndex + i] & 0xFF);
    if (FAILED(hr))
      return hr;
  }
  return S_OK;
}

HRESULT TARMBase::ReadWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                            int32_t ACount) {
  TBoolean little;
  HRESULT hr = LittleEndian(&little);
  if (FAILED(hr))
    return hr;
  for (int32_t w = 0; w < ACount / 4; ++w) {
    uint32_t word = 0;
    hr = ReadMemory_Word(uint32_t(AAddress), &word);
    if (FAILED(hr))
      return hr;
    AAddress += 4;
    for (int b = 0; b < 4; ++b) {
      const int shift = little ? 8 * b : 8 * (3 - b);
      ABuffer[AIndex + b] = (word >> shift) & 0xFF;
    }
    AIndex += 4;
  }
  return S_OK;
}

HRESULT TARMBase::WriteWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                             int32_t ACount) {
  TBoolean little;
  HRESULT hr = LittleEndian(&little);
  if (FAILED(hr))
    return hr;
  for (int32_t w = 0; w < ACount / 4; ++w) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      const int shift = little ? 8 * b : 8 * (3 - b);
      word |= (ABuffer[AIndex + b] & 0xFF) << shift;
    }
    hr = WriteMemory_Word(uint32_t(AAddress), word);
    if (FAILED(hr))
      return hr;
    AAddress += 4;
    AIndex += 4;
  }
  return S_OK;
}

namespace {

// How a block splits into a byte head, whole words and a byte tail.
struct TBlockSplit {
  bool OneWord;
  int32_t Head;
  int32_t Tail;
};

TBlockSplit SplitBlock(int64_t AAddress, int32_t ACount) {
  if (AAddress % 4 == 0 && ACount == 4)
    return {true, 0, 0};
  if (ACount > 4) {
    const int32_t head = int32_t((4 - (AAddress & 3)) % 4);
    const int32_t tail = int32_t((AAddress + ACount) & 3);
    return {false, head, tail};
  }
  return {false, ACount, 0};
}

} // namespace

HRESULT TARMBase::ReadMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) {
  const TBlockSplit split = SplitBlock(AAddress, ACount);
  if (split.OneWord)
    return ReadWords(ABuffer, 0, AAddress, 4);
  if (ACount <= 4)
    return ReadBytes(ABuffer, 0, AAddress, ACount);
  HRESULT hr = S_OK;
  if (split.Head > 0 && FAILED(hr = ReadBytes(ABuffer, 0, AAddress, split.Head)))
    return hr;
  if (split.Tail > 0 && FAILED(hr = ReadBytes(ABuffer, ACount - split.Tail,
                                              AAddress + ACount - split.Tail, split.Tail)))
    return hr;
  return ReadWords(ABuffer, split.Head, AAddress + split.Head, ACount - split.Head - split.Tail);
}

HRESULT TARMBase::WriteMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) {
  const TBlockSplit split = SplitBlock(AAddress, ACount);
  if (split.OneWord)
    return WriteWords(ABuffer, 0, AAddress, 4);
  if (ACount <= 4)
    return WriteBytes(ABuffer, 0, AAddress, ACount);
  HRESULT hr = S_OK;
  if (split.Head > 0 && FAILED(hr = WriteBytes(ABuffer, 0, AAddress, split.Head)))
    return hr;
  if (split.Tail > 0 && FAILED(hr = WriteBytes(ABuffer, ACount - split.Tail,
                                               AAddress + ACount - split.Tail, split.Tail)))
    return hr;
  return WriteWords(ABuffer, split.Head, AAddress + split.Head, ACount - split.Head - split.Tail);
}

HRESULT TARMBase::SaveState() {
  return S_OK;
}
HRESULT TARMBase::RestoreState() {
  return S_OK;
}
HRESULT TARMBase::ClearState() {
  return S_OK;
}
HRESULT TARMBase::ChangeToARMState() {
  return S_OK;
}
HRESULT TARMBase::ChangeToThumbState() {
  return S_OK;
}
HRESULT TARMBase::InitWatchPoints() {
  return S_OK;
}
HRESULT TARMBase::GetTranslationTableBase(int64_t* ABase) {
  *ABase = 0;
  return S_OK;
}
HRESULT TARMBase::TranslateVirtualAddress(int64_t AAddress, int32_t&, int32_t&, int32_t&,
                                          int64_t* APhysical) {
  *APhysical = AAddress;
  return S_OK;
}
HRESULT TARMBase::ReadPhysicalMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) {
  DisableMMUCaches(1, 1, 0);
  const HRESULT hr = ReadMainMemory(ABuffer, AAddress, ACount);
  EnableMMUCaches();
  return hr;
}
HRESULT TARMBase::WritePhysicalMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) {
  DisableMMUCaches(1, 1, 0);
  const HRESULT hr = WriteMainMemory(ABuffer, AAddress, ACount);
  EnableMMUCaches();
  return hr;
}
HRESULT TARMBase::HasTinyPages(TBoolean* AResult) {
  *AResult = false;
  return S_OK;
}
HRESULT TARMBase::EnableMMUCaches() {
  return S_OK;
}
HRESULT TARMBase::DisableMMUCaches() {
  return S_OK;
}
HRESULT TARMBase::DisableMMUCaches(int32_t, int32_t, int32_t) {
  return S_OK;
}
HRESULT TARMBase::InitializeMemory() {
  return Guarded([&] { WriteInitialValues(false); });
}
HRESULT TARMBase::OpenJtagChannel() {
  return Guarded([&] { OpenChannel(); });
}
HRESULT TARMBase::CloseJtagChannel() {
  return Guarded([&] { CloseChannel(); });
}
HRESULT TARMBase::SetICERegister(int32_t, uint32_t) {
  return S_OK;
}
HRESULT TARMBase::GetICERegister(int32_t, uint32_t* AValue) {
  *AValue = 0;
  return S_OK;
}
HRESULT TARMBase::ReadModeRegister(int32_t, int32_t, uint32_t* AValue) {
  *AValue = 0;
  return S_OK;
}
HRESULT TARMBase::WriteModeRegister(int32_t, uint32_t, int32_t) {
  return S_OK;
}
HRESULT TARMBase::SwitchProcessorMode_Begin(int32_t) {
  return S_OK;
}
HRESULT TARMBase::SwitchProcessorMode_End() {
  return S_OK;
}

// ---- driver contract --------------------------------------------------------

HRESULT TARMBase::GetProcessorRegisterCount(int32_t* AResult) {
  *AResult = kBaseRegisterCount;
  return S_OK;
}
HRESULT TARMBase::GetProcessorRegisterName(int32_t AIndex, std::wstring* AResult) {
  *AResult = InBaseRange(AIndex) ? kBaseRegisters[AIndex].Name : L"";
  return S_OK;
}
HRESULT TARMBase::GetProcessorRegisterShortName(int32_t AIndex, std::wstring* AResult) {
  *AResult = InBaseRange(AIndex) ? kBaseRegisters[AIndex].ShortName : L"";
  return S_OK;
}
HRESULT TARMBase::GetProcessorRegisterWidth(int32_t, uint32_t* AResult) {
  *AResult = 32;
  return S_OK;
}
HRESULT TARMBase::GetRegisterIndex_PC(int32_t* AResult) {
  *AResult = 19;
  return S_OK;
}
HRESULT TARMBase::GetRegisterIndex_SP(int32_t* AResult) {
  *AResult = 13;
  return S_OK;
}

HRESULT TARMBase::GetProcessorRegisterValue(int32_t AIndex, uint32_t* AResult) {
  *AResult = 0;
  if (!InBaseRange(AIndex))
    return S_OK;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    return ReadRegister(AIndex, AResult);
  });
}

HRESULT TARMBase::SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue, TBoolean* AResult) {
  // An index outside the layer's register model is written nowhere.
  int32_t count = 0;
  GetProcessorRegisterCount(&count);
  *AResult = InBaseRange(AIndex) && AIndex < count;
  if (!*AResult)
    return S_OK;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    return WriteRegister(AIndex, AValue);
  });
}

HRESULT TARMBase::GetMemorySpaceCount(int32_t* AResult) {
  *AResult = 1;
  return S_OK;
}
HRESULT TARMBase::GetMemorySpace_Program(int32_t* AResult) {
  *AResult = 0;
  return S_OK;
}
HRESULT TARMBase::GetMemorySpaceName(int32_t ASpace, std::wstring* AResult) {
  *AResult = ASpace == 0 ? L"Main" : L"";
  return S_OK;
}
HRESULT TARMBase::GetMemorySpaceShortName(int32_t ASpace, std::wstring* AResult) {
  *AResult = ASpace == 0 ? L"Main" : L"";
  return S_OK;
}
HRESULT TARMBase::GetMemorySpaceWidth(int32_t ASpace, uint32_t* AResult) {
  *AResult = ASpace == 0 ? 8 : 0;
  return S_OK;
}
HRESULT TARMBase::GetMemorySpaceBytesPerUnit(int32_t ASpace, uint32_t* AResult) {
  *AResult = ASpace == 0 ? 1 : 4;
  return S_OK;
}
HRESULT TARMBase::GetMemorySpaceKind(int32_t, TMemorySpaceKind* AResult) {
  *AResult = static_cast<TMemorySpaceKind>(0);
  return S_OK;
}
HRESULT TARMBase::GetMemorySpaceLength(int32_t ASpace, int64_t* AResult) {
  *AResult = ASpace == 0 ? 0xFFFFFFFFll : 0;
  return S_OK;
}
HRESULT TARMBase::GetSoftBreakpointAddressByteAlign(int32_t* AResult) {
  *AResult = 2;
  return S_OK;
}
HRESULT TARMBase::AddSoftBreakpoint(int32_t, int64_t, uint32_t* AResult) {
  *AResult = 0;
  return S_OK;
}
HRESULT TARMBase::RemoveSoftBreakpoint(int32_t, int64_t, uint32_t, TBoolean* AResult) {
  *AResult = false;
  return S_OK;
}

HRESULT TARMBase::InitDownload(int32_t, TBoolean* AResult) {
  return Guarded([&] {
    TChannelScope channel(*this);
    FDownloading = true;
    DisableMMUCaches();
    *AResult = true;
  });
}
HRESULT TARMBase::FinishDownload(int32_t, TBoolean* AResult) {
  return Guarded([&] {
    TChannelScope channel(*this);
    FDownloading = false;
    EnableMMUCaches();
    *AResult = true;
  });
}
HRESULT TARMBase::RunDiagnostic(TBoolean* AResult) {
  *AResult = true;
  return S_OK;
}
HRESULT TARMBase::LittleEndian(TBoolean* AResult) {
  *AResult = true;
  return S_OK;
}
HRESULT TARMBase::RunSingleStepInSubstitutionRegister() {
  return S_OK;
}
HRESULT TARMBase::ResetTarvoRegisters() {
  return Guarded([&]() -> HRESULT {
    TChannelScope channel(*this);
    return PauseProcessor();
  });
}
HRESULT TARMBase::ResetProcessor() {
  return Guarded([&]() -> HRESULT {
    HRESULT hr = ResetTarvoRegisters();
    if (FAILED(hr))
      return hr;
    TChannelScope channel(*this);
    DisableMMUCaches(1, 1, 1);
    return InitializeMemory();
  });
}
HRESULT TARMBase::RunSteps(int32_t ACount) {
  for (int32_t i = 0; i < ACount; ++i) {
    const HRESULT hr = SingleStepProcessor();
    if (FAILED(hr))
      return hr;
  }
  return S_OK;
}
HRESULT TARMBase::ProcessorIsRunning(TBoolean* AResult) {
  TBoolean paused;
  const HRESULT hr = ProcessorIsPaused(&paused);
  *AResult = !paused;
  return hr;
}
HRESULT TARMBase::ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) {
  *AResult = false;
  return S_OK;
}
HRESULT TARMBase::ResetDevice(TBoolean* AResult) {
  const HRESULT hr = ResetProcessor();
  *AResult = true;
  return hr;
}
HRESULT TARMBase::GetDeviceState(TDeviceState* AResult) {
  *AResult = static_cast<TDeviceState>(2);
  return S_OK;
}

HRESULT TARMBase::Supports(const std::wstring& AFeature, TBoolean* AResult) {
  const HRESULT hr = TTarvoProcessorDriver::Supports(AFeature, AResult);
  if (FAILED(hr))
    return hr;
  const TTarvoAction action = GetAction(AFeature);
  for (TTarvoAction a : kArmActions)
    if (a == action)
      *AResult = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TARMBase::SupportsService(BSTR AName, TBoolean* AResult) {
  HRESULT hr = TTarvoProcessorDriver::SupportsService(AName, AResult);
  if (FAILED(hr) || bool(*AResult))
    return hr;
  const std::wstring_view name(AName ? AName : L"");
  for (const wchar_t* service : kArmServices)
    if (SameServiceName(name, service))
      *AResult = true;
  return S_OK;
}

HRESULT TARMBase::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  ORV_DISPATCH_THROUGH(kEmbeddedIceTable, TTarvoProcessorDriver);
}

HRESULT STDMETHODCALLTYPE TARMBase::MemoryRead(int32_t AMemorySpace, PMemoryArray ABuffer,
                                               int64_t AAddress, int32_t ACount,
                                               TLongBool* ASuccess) {
  *ASuccess = LongFalse;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    if (AMemorySpace != 0)
      return S_OK;
    const unsigned dropped = FDiagnostics.DroppedReads;
    const HRESULT hr = ReadMainMemory(ABuffer, AAddress, ACount);
    return AnswerTransfer(hr, FDiagnostics.DroppedReads == dropped, ASuccess);
  });
}

HRESULT STDMETHODCALLTYPE TARMBase::MemoryWrite(int32_t AMemorySpace, PMemoryArray ABuffer,
                                                int64_t AAddress, int32_t ACount,
                                                TLongBool* ASuccess) {
  *ASuccess = LongFalse;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    if (AMemorySpace != 0)
      return S_OK;
    const unsigned dropped = FDiagnostics.DroppedWrites;
    const HRESULT hr = WriteMainMemory(ABuffer, AAddress, ACount);
    return AnswerTransfer(hr, FDiagnostics.DroppedWrites == dropped, ASuccess);
  });
}

HRESULT TARMBase::AnswerTransfer(HRESULT AResult, bool ANothingDropped, TLongBool* ASuccess) {
  // Success only for a block the target took whole; a transfer the target
  // refused is told through the success, not as a failing call.
  *ASuccess = SUCCEEDED(AResult) && ANothingDropped ? LongTrue : LongFalse;
  return AResult == kTransferFailed ? S_OK : AResult;
}

TInstrumentForm* TARMBase::CreateRackForm() {
  // No panel for a driver that is bound to no device.
  if (FTarvoDevice.IsEmpty())
    return nullptr;
  return CreateARMBaseInstrumentForm(FTarvoDevice, GetJTagDevice());
}

void TARMBase::TransactionBegin() {
  if (FTransactionDepth == 0 && !FTarvoDevice.IsEmpty()) {
    TTarvoProcessorDriver::TransactionBegin();
    FHostTransactionOpen = true;
  }
  ++FTransactionDepth;
}

void TARMBase::TransactionEnd() {
  if (FTransactionDepth <= 0)
    return;
  if (--FTransactionDepth == 0 && std::exchange(FHostTransactionOpen, false))
    TTarvoProcessorDriver::TransactionEnd();
}

// ---- IARMEmbeddedICE --------------------------------------------------------

HRESULT TARMBase::IceSetICERegister(int32_t ARegister, int32_t AValue) {
  return SetICERegister(ARegister, uint32_t(AValue));
}
HRESULT TARMBase::IceGetICERegister(int32_t ARegister, int32_t* AValue) {
  uint32_t v = 0;
  const HRESULT hr = GetICERegister(ARegister, &v);
  *AValue = int32_t(v);
  return hr;
}
HRESULT TARMBase::IceReadRegister(int32_t AIndex, int32_t* AValue) {
  uint32_t v = 0;
  const HRESULT hr = ReadRegister(AIndex, &v);
  *AValue = int32_t(v);
  return hr;
}
HRESULT TARMBase::IceWriteRegister(int32_t AIndex, int32_t AValue) {
  return WriteRegister(AIndex, uint32_t(AValue));
}
// The mode-register operations of this face are the base's own: the banked
// access of the classic cores switches the mode through CPSR, which on an
// ARMv7-M core is the xPSR, so a host call must never reach a layer's version.
HRESULT TARMBase::IceReadModeRegister(int32_t ARegister, int32_t AMode, int32_t* AValue) {
  uint32_t v = 0;
  const HRESULT hr = TARMBase::ReadModeRegister(ARegister, AMode, &v);
  *AValue = int32_t(v);
  return hr;
}
HRESULT TARMBase::IceWriteModeRegister(int32_t ARegister, int32_t AValue, int32_t AMode) {
  return TARMBase::WriteModeRegister(ARegister, uint32_t(AValue), AMode);
}
HRESULT TARMBase::IceReadMemory_Byte(int32_t AAddress, int32_t* AValue) {
  uint32_t v = 0;
  const HRESULT hr = ReadMemory_Byte(uint32_t(AAddress), &v);
  *AValue = int32_t(v);
  return hr;
}
HRESULT TARMBase::IceReadMemory_HalfWord(int32_t AAddress, int32_t* AValue) {
  uint32_t v = 0;
  const HRESULT hr = ReadMemory_HalfWord(uint32_t(AAddress), &v);
  *AValue = int32_t(v);
  return hr;
}
HRESULT TARMBase::IceReadMemory_Word(int32_t AAddress, int32_t* AValue) {
  uint32_t v = 0;
  const HRESULT hr = ReadMemory_Word(uint32_t(AAddress), &v);
  *AValue = int32_t(v);
  return hr;
}
HRESULT TARMBase::IceWriteMemory_Byte(int32_t AAddress, int32_t AValue) {
  return WriteMemory_Byte(uint32_t(AAddress), uint32_t(AValue));
}
HRESULT TARMBase::IceWriteMemory_HalfWord(int32_t AAddress, int32_t AValue) {
  return WriteMemory_HalfWord(uint32_t(AAddress), uint32_t(AValue));
}
HRESULT TARMBase::IceWriteMemory_Word(int32_t AAddress, int32_t AValue) {
  return WriteMemory_Word(uint32_t(AAddress), uint32_t(AValue));
}
HRESULT TARMBase::IceSwitchProcessorMode_Begin(int32_t AMode) {
  return TARMBase::SwitchProcessorMode_Begin(AMode);
}
HRESULT TARMBase::IceSwitchProcessorMode_End() {
  return TARMBase::SwitchProcessorMode_End();
}

// The three words the host passes are its own variables' addresses; they are
// never written through, so a bad word cannot corrupt the host's memory.
HRESULT TARMBase::IceTranslateVirtualAddress(int64_t AAddress, TDataWord, TDataWord, TDataWord,
                                             int64_t* APhysical) {
  int32_t cacheBits = 0, domain = 0, access = 0;
  return TranslateVirtualAddress(AAddress, cacheBits, domain, access, APhysical);
}

// ---- initial memory contents ---------------------------------------------------

namespace {

bool SameTextIgnoringCase(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size())
    return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (std::towupper(A[i]) != std::towupper(B[i]))
      return false;
  return true;
}

// The embedded-memory list the initial values come from.
constexpr int32_t kInitialValueCategory = 2;

// The write each entry size is made with; other sizes write nothing.
struct TInitValueWrite {
  int64_t Size;
  HRESULT (TARMBase::*Write)(uint32_t, uint32_t);
  uint32_t Mask;
};
constexpr TInitValueWrite kInitValueWrites[] = {
    {4, &TARMBase::WriteMemory_Word, 0xFFFFFFFF},
    {2, &TARMBase::WriteMemory_HalfWord, 0xFFFF},
    {1, &TARMBase::WriteMemory_Byte, 0xFF},
};

} // namespace

ITarvoWorkbench TARMBase::Workbench() {
  return GetTarvoWorkbench();
}

IEmbeddedMemoryManager TARMBase::EmbeddedMemoryManager() {
  return GetEmbeddedMemoryManager();
}

IDeviceLink TARMBase::FindDeviceLink() {
  const ITarvoWorkbench workbench = Workbench();
  if (!workbench)
    return {};
  ITarvoDevice own;
  if (FAILED(GetTarvoDevice(&own)) || !own)
    return {};
  const std::wstring ownId = own.GetDeviceId();
  const int32_t portCount = workbench.GetPortCount();
  for (int32_t p = 0; p < portCount; ++p) {
    const ITarvoPort port = workbench.Port(p);
    if (!port || !port.JtagPort())
      continue;
    const int32_t linkCount = port.GetLinkCount();
    for (int32_t l = 0; l < linkCount; ++l) {
      const IDeviceLink link = port.DeviceLink(l);
      if (!link)
        continue;
      const ITarvoDevice device = link.GetTarvoDevice();
      if (device && SameTextIgnoringCase(device.GetDeviceId(), ownId))
        return link;
    }
  }
  return {};
}

void TARMBase::WriteInitialValues(bool AMergeByName) {
  const IDeviceLink link = FindDeviceLink();
  if (!link)
    return;
  const IProject project = link.GetProject();
  if (!project)
    return;
  const IEmbeddedMemoryManager manager = EmbeddedMemoryManager();
  if (!manager)
    return;
  const IEmbeddedMemories memories = manager.GetMemories(kInitialValueCategory);
  if (!memories)
    return;
  memories.LoadFromProject(project, true);
  // The first value seen under each name; later entries of that name are
  // or-ed with it, never with each other.
  std::vector<std::pair<std::wstring, uint32_t>> firstValues;
  const auto priorOf = [&](const std::wstring& AName, uint32_t AValue) -> uint32_t {
    for (const auto& [name, value] : firstValues)
      if (SameTextIgnoringCase(name, AName))
        return value;
    firstValues.emplace_back(AName, AValue);
    return 0;
  };
  const int32_t memoryCount = memories.GetCount();
  for (int32_t m = 0; m < memoryCount; ++m) {
    const IEmbeddedMemory memory = memories.GetMemory(m);
    if (!memory)
      continue;
    const int32_t entryCount = memory.GetInitValueCount();
    for (int32_t e = 0; e < entryCount; ++e) {
      std::wstring name;
      int64_t size = 0, value = 0, address = 0;
      // An entry the host does not deliver has no value to write.
      if (!memory.GetInitValue(e, name, size, value, address))
        continue;
      const uint32_t prior = AMergeByName ? priorOf(name, uint32_t(value)) : 0;
      for (const TInitValueWrite& write : kInitValueWrites)
        if (write.Size == size) {
          const HRESULT hr =
              (this->*write.Write)(uint32_t(address), (prior | uint32_t(value)) & write.Mask);
          if (FAILED(hr))
            throw EOleSysError(hr, L"An initial value could not be written.");
        }
    }
  }
}

// ---- diagnostics and brackets ------------------------------------------------

void TARMBase::LogDebug(const std::wstring& AText) {
  if (FDebugLogging)
    FDebugLogging->push_back(L"DEBUG :DEBUG :" + AText);
}
void TARMBase::LogError(const std::wstring& AText) {
  if (FDebugLogging)
    FDebugLogging->push_back(L"DEBUG :ERROR :" + AText);
}

TARMBase::TChannelScope::TChannelScope(TARMBase& ADriver) : FDriver(ADriver) {
  FDriver.OpenChannel();
}
TARMBase::TChannelScope::~TChannelScope() {
  try {
    FDriver.CloseChannel();
  } catch (...) {
  }
}
