#include "jlink-cortex-m3.h"

TJlinkCortexM3::TRoad::TRoad(TJlinkCortexM3& ADriver) : FDriver(ADriver) {
  if (FDriver.FRoadDepth == 0)
    FDriver.FRoadIsJlink = FDriver.SearchJlinkPort();
  ++FDriver.FRoadDepth;
}

bool TJlinkCortexM3::SearchJlinkPort() {
  TBoolean open;
  return SUCCEEDED(FJlinkARM.ARM_IsOpen(GetJTagChannel(), &open)) && bool(open);
}

bool TJlinkCortexM3::UsesJlink() {
  return FRoadDepth > 0 ? FRoadIsJlink : SearchJlinkPort();
}

void TJlinkCortexM3::InitializeTarget() {
  const TRoad road(*this);
  if (!road.Jlink()) {
    TARM_Cortex_M3::InitializeTarget();
    return;
  }
  if (!FJlinkInitialized) {
    TBoolean ok;
    FJlinkARM.ARM_Initialize(FDeviceDebugManager, &ok);
    FJlinkInitialized = bool(ok);
  }
}

bool TJlinkCortexM3::JlinkCheckHalted() {
  TBoolean halted;
  FJlinkARM.ARM_IsHalted(&halted);
  if (halted)
    SaveState();
  else
    ClearState();
  return bool(halted);
}

HRESULT TJlinkCortexM3::RunControl(HRESULT (TARMJlink::*ACommand)(int*)) {
  int code = kJlinkOk;
  const HRESULT hr = (FJlinkARM.*ACommand)(&code);
  if (code != kJlinkOk)
    ++FDiagnostics.DroppedCommands;
  return hr;
}

HRESULT TJlinkCortexM3::PauseProcessor() {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::PauseProcessor();
  return RunControl(&TARMJlink::ARM_Halt);
}

HRESULT TJlinkCortexM3::SingleStepProcessor() {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::SingleStepProcessor();
  const HRESULT hr = RunControl(&TARMJlink::ARM_SingleStep);
  if (FAILED(hr))
    return hr;
  return RestoreState();
}

HRESULT TJlinkCortexM3::ContinueProcessor() {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ContinueProcessor();
  const HRESULT hr = RunControl(&TARMJlink::ARM_Continue);
  if (FAILED(hr))
    return hr;
  return RestoreState();
}

HRESULT TJlinkCortexM3::ResetProcessor() {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ResetProcessor();
  const HRESULT hr = RunControl(&TARMJlink::ARM_Reset);
  if (FAILED(hr))
    return hr;
  return TARMv7M::ResetProcessor();
}

HRESULT TJlinkCortexM3::ResetTarvoRegisters() {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ResetTarvoRegisters();
  const HRESULT hr = FJlinkARM.ARM_ResetRegisters();
  ForgetCoreWords();
  return hr;
}

HRESULT TJlinkCortexM3::ProcessorIsPaused(TBoolean* AResult) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ProcessorIsPaused(AResult);
  *AResult = false;
  return Guarded([&] {
    TChannelScope channel(*this);
    InitializeTarget();
    *AResult = JlinkCheckHalted();
  });
}

HRESULT TJlinkCortexM3::ProcessorIsReset(TBoolean* AResult) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ProcessorIsReset(AResult);
  *AResult = false;
  return Guarded([&] {
    TChannelScope channel(*this);
    *AResult = JlinkCheckHalted() && FSavedPC == 0;
  });
}

HRESULT TJlinkCortexM3::AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::AddSoftBreakpoint(ASpace, AAddress, AResult);
  *AResult = 0;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    int32_t handle = 0;
    const HRESULT hr = FJlinkARM.ARM_AddBreakpoint(AAddress, &handle);
    *AResult = uint32_t(handle);
    return hr;
  });
}

HRESULT TJlinkCortexM3::RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                                             TBoolean* AResult) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::RemoveSoftBreakpoint(ASpace, AAddress, AValue, AResult);
  *AResult = false;
  return Guarded([&]() -> HRESULT {
    TTransactionScope transaction(*this);
    return FJlinkARM.ARM_RemoveBreakpoint(AAddress, AResult);
  });
}

HRESULT TJlinkCortexM3::UnitRead(HRESULT (TARMJlink::*ARead)(uint32_t, uint32_t*, bool*),
                                 uint32_t AAddress, uint32_t* AValue) {
  bool ok = false;
  const HRESULT hr = (FJlinkARM.*ARead)(AAddress, AValue, &ok);
  if (FAILED(hr))
    return hr;
  if (ok)
    return S_OK;
  *AValue = 0;
  ++FDiagnostics.DroppedReads;
  return kTransferFailed;
}

HRESULT TJlinkCortexM3::UnitWrite(HRESULT (TARMJlink::*AWrite)(uint32_t, uint32_t, bool*),
                                  uint32_t AAddress, uint32_t AValue) {
  bool ok = false;
  const HRESULT hr = (FJlinkARM.*AWrite)(AAddress, AValue, &ok);
  if (FAILED(hr))
    return hr;
  if (ok)
    return S_OK;
  ++FDiagnostics.DroppedWrites;
  return kTransferFailed;
}

HRESULT TJlinkCortexM3::ReadMemory_Byte(uint32_t AAddress, uint32_t* AValue) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadMemory_Byte(AAddress, AValue);
  return UnitRead(&TARMJlink::ARM_ReadByte, AAddress, AValue);
}
HRESULT TJlinkCortexM3::ReadMemory_HalfWord(uint32_t AAddress, uint32_t* AValue) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadMemory_HalfWord(AAddress, AValue);
  return UnitRead(&TARMJlink::ARM_ReadHalfWord, AAddress, AValue);
}
HRESULT TJlinkCortexM3::ReadMemory_Word(uint32_t AAddress, uint32_t* AValue) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadMemory_Word(AAddress, AValue);
  return UnitRead(&TARMJlink::ARM_ReadWord, AAddress, AValue);
}
HRESULT TJlinkCortexM3::WriteMemory_Byte(uint32_t AAddress, uint32_t AValue) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::WriteMemory_Byte(AAddress, AValue);
  return UnitWrite(&TARMJlink::ARM_WriteByte, AAddress, AValue);
}
HRESULT TJlinkCortexM3::WriteMemory_HalfWord(uint32_t AAddress, uint32_t AValue) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::WriteMemory_HalfWord(AAddress, AValue);
  return UnitWrite(&TARMJlink::ARM_WriteHalfWord, AAddress, AValue);
}
HRESULT TJlinkCortexM3::WriteMemory_Word(uint32_t AAddress, uint32_t AValue) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::WriteMemory_Word(AAddress, AValue);
  return UnitWrite(&TARMJlink::ARM_WriteWord, AAddress, AValue);
}

HRESULT TJlinkCortexM3::BlockRead(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                  int32_t ACount) {
  if (ACount <= 0)
    return S_OK;
  bool ok = false;
  const HRESULT hr = FJlinkARM.ARM_ReadBytes(ABuffer, AIndex, AAddress, ACount, &ok);
  if (FAILED(hr))
    return hr;
  if (ok)
    return S_OK;
  ++FDiagnostics.DroppedReads;
  return kTransferFailed;
}

HRESULT TJlinkCortexM3::BlockWrite(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                   int32_t ACount) {
  if (ACount <= 0)
    return S_OK;
  bool ok = false;
  const HRESULT hr = FJlinkARM.ARM_WriteBytes(ABuffer, AIndex, AAddress, ACount, &ok);
  if (FAILED(hr))
    return hr;
  if (ok)
    return S_OK;
  ++FDiagnostics.DroppedWrites;
  return kTransferFailed;
}

HRESULT TJlinkCortexM3::ReadBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                  int32_t ACount) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadBytes(ABuffer, AIndex, AAddress, ACount);
  return BlockRead(ABuffer, AIndex, AAddress, ACount);
}
HRESULT TJlinkCortexM3::ReadWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                  int32_t ACount) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadWords(ABuffer, AIndex, AAddress, ACount);
  return BlockRead(ABuffer, AIndex, AAddress, ACount);
}
HRESULT TJlinkCortexM3::ReadMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadMainMemory(ABuffer, AAddress, ACount);
  return BlockRead(ABuffer, 0, AAddress, ACount);
}
HRESULT TJlinkCortexM3::WriteBytes(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                   int32_t ACount) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::WriteBytes(ABuffer, AIndex, AAddress, ACount);
  return BlockWrite(ABuffer, AIndex, AAddress, ACount);
}
HRESULT TJlinkCortexM3::WriteWords(PMemoryArray ABuffer, int32_t AIndex, int64_t AAddress,
                                   int32_t ACount) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::WriteWords(ABuffer, AIndex, AAddress, ACount);
  return BlockWrite(ABuffer, AIndex, AAddress, ACount);
}
HRESULT TJlinkCortexM3::WriteMainMemory(PMemoryArray ABuffer, int64_t AAddress, int32_t ACount) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::WriteMainMemory(ABuffer, AAddress, ACount);
  return BlockWrite(ABuffer, 0, AAddress, ACount);
}

HRESULT TJlinkCortexM3::SaveState() {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::SaveState();
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
  });
}

uint32_t TJlinkCortexM3::ReadCoreRegister(int32_t ARegister) {
  const TRoad road(*this);
  if (!road.Jlink())
    return TARM_Cortex_M3::ReadCoreRegister(ARegister);
  uint32_t value = 0;
  int code = kJlinkMissing;
  if (FAILED(FJlinkARM.ARM_ReadRegister(ARegister, &value, &code)) || code != kJlinkOk) {
    ++FDiagnostics.DroppedReads;
    return 0;
  }
  return value;
}

void TJlinkCortexM3::WriteCoreRegister(int32_t ARegister, uint32_t AValue) {
  const TRoad road(*this);
  if (!road.Jlink()) {
    TARM_Cortex_M3::WriteCoreRegister(ARegister, AValue);
    return;
  }
  if (ARegister == 15)
    AValue &= ~1u;
  int code = kJlinkMissing;
  if (FAILED(FJlinkARM.ARM_WriteRegister(ARegister, AValue, &code)) || code != kJlinkOk)
    ++FDiagnostics.DroppedWrites;
}
