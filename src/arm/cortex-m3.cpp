#include "cortex-m3.h"

#include "dialogs.h"
#include "hard-breakpoints.h"

#include <cstdio>

namespace {

constexpr int kIdle = 2, kIrShift = 12, kIrExit1 = 13;
constexpr int32_t kParkInstruction = 4;

// Core register numbers and the selector value each is sent as.
struct TSelectorRow {
  int32_t Register;
  uint32_t Selector;
};
constexpr TSelectorRow kSelectors[] = {
    {0, 0},   {1, 1},   {2, 2},   {3, 3},   {4, 4},   {5, 5},   {6, 6},
    {7, 7},   {8, 8},   {9, 9},   {10, 10}, {11, 11}, {12, 12}, {13, 13},
    {14, 14}, {15, 15}, {16, 16}, {20, 20}, {25, 17}, {26, 18},
};

bool SelectorOf(int32_t ARegister, uint32_t& ASelector) {
  for (const TSelectorRow& row : kSelectors)
    if (row.Register == ARegister) {
      ASelector = row.Selector;
      return true;
    }
  return false;
}

} // namespace

void TARM_Cortex_M3::InitializeTarget() {
  if (UsesJlink())
    return;
  if (FInitialized || FTargetNotResponding || GetJTagChannel().IsEmpty())
    return;
  TARMADI_V5::InitializeTarget();
  if (!DebugPortInit()) {
    FTargetNotResponding = true;
    ShowError(kNotResponding);
    return;
  }
  uint32_t cpuid = 0;
  if (!MemApBankedReadAndCheck(CPUID, cpuid))
    return;
  if (((cpuid >> 4) & 0xC3F) == 0xC23) {
    wchar_t line[64];
    swprintf(line, 64, L"Cortex-M3 r%d p%d processor detected", int((cpuid >> 20) & 0xF),
             int(cpuid & 0xF));
    LogDebug(line);
  }
  wchar_t line[32];
  swprintf(line, 32, L"cpuid %x", cpuid);
  LogDebug(line);

  uint32_t fpCtrl = 0;
  if (!MemApBankedReadAndCheck(FP_CTRL, fpCtrl))
    return;
  FFpNumCode = int(((fpCtrl >> 8) & 0x70) | ((fpCtrl >> 4) & 0xF));
  FFpNumLit = int((fpCtrl >> 8) & 0xF);
  FFpEnabled = fpCtrl & 1;
  if (!FFpEnabled) {
    if (!MemApBankedWriteAndCheck(FP_CTRL, 3) || !MemApBankedReadAndCheck(FP_CTRL, fpCtrl))
      return;
    FFpEnabled = fpCtrl & 1;
  }
  uint32_t dwtCtrl = 0;
  if (!MemApBankedReadAndCheck(DWT_CTRL, dwtCtrl))
    return;
  FDwtNumComp = int(dwtCtrl >> 28);
  InitWatchPoints();
  FInitialized = true;
}

uint32_t TARM_Cortex_M3::DcbReadCoreRegister(int32_t ARegister) {
  uint32_t selector = 0;
  if (!SelectorOf(ARegister, selector))
    return 0;
  uint32_t kept = 0, value = 0;
  const bool ok = Redone([&] {
    if (!MemApBankedRead(DCRDR, kept))
      return false;
    FTransMode = kTransComposite;
    return SetupAccessPort(0x02, DHCSR) && ApWrite(AP_BD0 + 4, selector) && WaitRegisterReady() &&
           SetupAccessPort(0x02, DHCSR) && ApRead(AP_BD0 + 8, value) && TransactionEndCheck();
  });
  if (ok)
    return value;
  ++FDiagnostics.DroppedReads;
  MemApBankedWriteAndCheck(DCRDR, kept);
  return 0;
}

void TARM_Cortex_M3::DcbWriteCoreRegister(int32_t ARegister, uint32_t AValue) {
  uint32_t selector = 0;
  if (!SelectorOf(ARegister, selector))
    return;
  uint32_t kept = 0;
  const bool ok = Redone([&] {
    if (!MemApBankedRead(DCRDR, kept))
      return false;
    FTransMode = kTransComposite;
    return SetupAccessPort(0x02, DHCSR) && ApWrite(AP_BD0 + 8, AValue) &&
           SetupAccessPort(0x02, DHCSR) && ApWrite(AP_BD0 + 4, selector | 0x10000) &&
           WaitRegisterReady() && TransactionEndCheck();
  });
  if (ok)
    return;
  ++FDiagnostics.DroppedWrites;
  MemApBankedWriteAndCheck(DCRDR, kept);
}

bool TARM_Cortex_M3::WaitRegisterReady() {
  // The core moves the register only after the selector write; until
  // S_REGRDY shows, DCRDR still holds what it held before.
  for (int i = 0; i < kRegisterReadyPolls; ++i) {
    uint32_t dhcsr = 0;
    if (!SetupAccessPort(0x02, DHCSR) || !ApRead(AP_BD0, dhcsr))
      return false;
    if (dhcsr & S_REGRDY)
      return true;
  }
  ++FDiagnostics.RegisterNotReady;
  LogError(L"DCRSR transfer not acknowledged: S_REGRDY stayed clear");
  return false;
}

uint32_t TARM_Cortex_M3::ReadCoreRegister(int32_t ARegister) {
  return DcbReadCoreRegister(ARegister);
}

void TARM_Cortex_M3::WriteCoreRegister(int32_t ARegister, uint32_t AValue) {
  if (ARegister == 15)
    AValue &= ~1u;
  DcbWriteCoreRegister(ARegister, AValue);
}

void TARM_Cortex_M3::ParkInstructionRegister() {
  const IJTagChannel channel = GetJTagChannel();
  if (channel.IsEmpty())
    return;
  channel.MoveToState(kIdle, kIrShift);
  channel.ShiftInstruction(kParkInstruction, GetJTagIndex());
  channel.MoveToState(kIrExit1, kIdle);
}

bool TARM_Cortex_M3::CheckHalted() {
  if (GetJTagChannel().IsEmpty())
    return false;
  uint32_t dhcsr = 0;
  const bool halted = MemApBankedReadAndCheck(DHCSR, dhcsr) && (dhcsr & S_HALT);
  if (!halted)
    ParkInstructionRegister();
  if (halted)
    SaveState();
  else
    ClearState();
  return halted;
}

bool TARM_Cortex_M3::WaitHalted() {
  for (int i = 0; i < kHaltPolls; ++i)
    if (CheckHalted())
      return true;
  return false;
}

bool TARM_Cortex_M3::WriteDhcsr(uint32_t AValue) {
  if (MemApBankedWriteAndCheck(DHCSR, AValue))
    return true;
  ++FDiagnostics.DroppedCommands;
  return false;
}

HRESULT TARM_Cortex_M3::PauseProcessor() {
  return Guarded([&] {
    TChannelScope channel(*this);
    if (WriteDhcsr(kDhcsrHalt) && !WaitHalted())
      ++FDiagnostics.DroppedCommands;
  });
}

HRESULT TARM_Cortex_M3::SingleStepProcessor() {
  return Guarded([&] {
    TChannelScope channel(*this);
    if (CheckHalted() && WriteDhcsr(kDhcsrStep)) {
      RestoreState();
      WaitHalted();
    }
  });
}

HRESULT TARM_Cortex_M3::ContinueProcessor() {
  return Guarded([&] {
    TChannelScope channel(*this);
    if (WriteDhcsr(kDhcsrRun))
      RestoreState();
  });
}

HRESULT TARM_Cortex_M3::ResetProcessor() {
  return Guarded([&]() -> HRESULT {
    FTargetNotResponding = false;
    MemApBankedWrite(DEMCR, kDemcrReset);
    if (!MemApBankedWriteAndCheck(AIRCR, kAircrReset))
      ++FDiagnostics.DroppedCommands;
    return TARMv7M::ResetProcessor();
  });
}

HRESULT TARM_Cortex_M3::ResetTarvoRegisters() {
  return Guarded([&]() -> HRESULT {
    OpenChannel();
    HRESULT hr = PauseProcessor();
    for (int32_t n = 0; n <= 15 && SUCCEEDED(hr); ++n)
      if (n != 13 && n != 15)
        hr = WriteRegister(n, 0);
    if (FAILED(hr))
      return hr;
    WriteCoreRegister(16, 0x01000000);
    uint32_t pc = 0, sp = 0;
    ReadMemory_Word(4, &pc);
    WriteCoreRegister(15, pc & ~1u);
    ReadMemory_Word(0, &sp);
    WriteCoreRegister(13, sp & ~3u);
    ForgetCoreWords();
    CloseChannel();
    return S_OK;
  });
}

HRESULT TARM_Cortex_M3::ProcessorIsPaused(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] {
    TChannelScope channel(*this);
    InitializeTarget();
    *AResult = CheckHalted();
  });
}

HRESULT TARM_Cortex_M3::ProcessorIsReset(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] {
    TChannelScope channel(*this);
    *AResult = CheckHalted() && FSavedPC == 0;
  });
}

HRESULT TARM_Cortex_M3::AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) {
  *AResult = 0;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    return TARMv7M::AddSoftBreakpoint(ASpace, AAddress, AResult);
  });
}

HRESULT TARM_Cortex_M3::RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                                             TBoolean* AResult) {
  *AResult = false;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    return TARMv7M::RemoveSoftBreakpoint(ASpace, AAddress, AValue, AResult);
  });
}

HRESULT TARM_Cortex_M3::Transferred(bool ATaken) {
  // Without a bound device there is no target to fail: the defaults stand.
  return ATaken || GetJTagChannel().IsEmpty() ? S_OK : kTransferFailed;
}

HRESULT TARM_Cortex_M3::ReadMemory_Byte(uint32_t AAddress, uint32_t* AValue) {
  return Guarded([&]() -> HRESULT {
    uint8_t value = 0;
    const bool taken = MemApReadByte(AAddress, value);
    *AValue = value;
    return Transferred(taken);
  });
}
HRESULT TARM_Cortex_M3::ReadMemory_HalfWord(uint32_t AAddress, uint32_t* AValue) {
  return Guarded([&] { return Transferred(MemApReadHalfWord(AAddress, *AValue)); });
}
HRESULT TARM_Cortex_M3::ReadMemory_Word(uint32_t AAddress, uint32_t* AValue) {
  return Guarded([&] { return Transferred(MemApReadWord(AAddress, *AValue)); });
}
HRESULT TARM_Cortex_M3::WriteMemory_Byte(uint32_t AAddress, uint32_t AValue) {
  return Guarded([&] { return Transferred(MemApWriteByte(AAddress, uint8_t(AValue))); });
}
HRESULT TARM_Cortex_M3::WriteMemory_HalfWord(uint32_t AAddress, uint32_t AValue) {
  return Guarded([&] { return Transferred(MemApWriteHalfWord(AAddress, AValue)); });
}
HRESULT TARM_Cortex_M3::WriteMemory_Word(uint32_t AAddress, uint32_t AValue) {
  return Guarded([&] { return Transferred(MemApWriteWord(AAddress, AValue)); });
}

HRESULT TARM_Cortex_M3::SaveState() {
  return Guarded([&] {
    if (!FStateSaved)
      FState = TARM_State::eARM_State_Thumb;
    TARMv7M::SaveState();
    if (FStateSaved)
      return;
    FStateSaved = true;
    FSavedPC = ReadCoreRegister(15);
    const unsigned dropped = FDiagnostics.DroppedReads;
    FSavedXPSR = ReadCoreRegister(16);
    FXpsrKnown = FDiagnostics.DroppedReads == dropped;
    uint32_t aircr = 0;
    if (MemApBankedReadAndCheck(AIRCR, aircr))
      FBigEndian = (aircr >> 15) & 1;
  });
}

HRESULT TARM_Cortex_M3::InitWatchPoints() {
  return Guarded([&] {
    TARMv7M::InitWatchPoints();
    SetSoftbreakpointsRequireHardware(false);
    FHardBreakpoints.clear();
    for (int n = 0; n < FFpNumCode; ++n) {
      TComPtr<TARM_Cortex_M3HardBreakpoint> breakpoint(
          new TARM_Cortex_M3HardBreakpoint(*this, FP_COMP0 + 4 * uint32_t(n)));
      FHardBreakpoints.push_back(breakpoint);
      AddHardBreakpointToManager(breakpoint.Get());
    }
  });
}

HRESULT TARM_Cortex_M3::InitializeMemory() {
  return Guarded([&] { WriteInitialValues(true); });
}

void TARM_Cortex_M3::AddHardBreakpointToManager(IDispatch* ABreakpoint) {
  if (!FDeviceDebugManager.IsEmpty())
    FDeviceDebugManager.AddHardBreakPoint(IHardBreakpoint::FromDispatch(ABreakpoint));
}

void TARM_Cortex_M3::SetSoftbreakpointsRequireHardware(bool AValue) {
  if (!FDeviceDebugManager.IsEmpty())
    FDeviceDebugManager.SetSoftbreakpointsRequireHardware(AValue);
}

bool TARM_Cortex_M3::ReadDebugWord(uint32_t AAddress, uint32_t& AValue) {
  TTransactionScope transaction(*this);
  return MemApBankedReadAndCheck(AAddress, AValue);
}

bool TARM_Cortex_M3::WriteDebugWord(uint32_t AAddress, uint32_t AValue) {
  TTransactionScope transaction(*this);
  if (MemApBankedWriteAndCheck(AAddress, AValue))
    return true;
  ++FDiagnostics.DroppedWrites;
  return false;
}
