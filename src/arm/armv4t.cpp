#include "armv4t.h"

#include "hard-breakpoints.h"

namespace {

// Banked registers of the processor modes: host index range, first register
// number, mode. Register 17 stands for the mode's SPSR.
struct TBankedRow {
  int32_t First;
  int32_t Last;
  int32_t Registers[8];
  uint32_t Mode;
};

constexpr uint32_t kUsr = 0x10, kFiq = 0x11, kIrq = 0x12, kSvc = 0x13, kAbt = 0x17, kUnd = 0x1B;

constexpr TBankedRow kBanked[] = {
    {20, 26, {8, 9, 10, 11, 12, 13, 14}, kUsr},
    {27, 29, {13, 14, 17}, kSvc},
    {30, 32, {13, 14, 17}, kAbt},
    {33, 35, {13, 14, 17}, kUnd},
    {36, 38, {13, 14, 17}, kIrq},
    {39, 46, {8, 9, 10, 11, 12, 13, 14, 17}, kFiq},
};

const TBankedRow* BankedRowOf(int32_t AIndex) {
  for (const TBankedRow& row : kBanked)
    if (AIndex >= row.First && AIndex <= row.Last)
      return &row;
  return nullptr;
}

} // namespace

HRESULT TARMv4T::LittleEndian(TBoolean* AResult) {
  *AResult = !FBigEndian;
  return S_OK;
}

HRESULT TARMv4T::ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) {
  *AResult = FStateSaved && FState == TARM_State::eARM_State_Thumb;
  return S_OK;
}

HRESULT TARMv4T::ReadRegister(int32_t AIndex, uint32_t* AValue) {
  *AValue = 0;
  if (AIndex == 18) {
    *AValue = FState == TARM_State::eARM_State_Thumb ? 1 : 0;
    return S_OK;
  }
  if (const TBankedRow* row = BankedRowOf(AIndex))
    return ReadModeRegister(row->Registers[AIndex - row->First], int32_t(row->Mode), AValue);
  return S_OK;
}

HRESULT TARMv4T::WriteRegister(int32_t AIndex, uint32_t AValue) {
  if (const TBankedRow* row = BankedRowOf(AIndex))
    return WriteModeRegister(row->Registers[AIndex - row->First], AValue, int32_t(row->Mode));
  return S_OK;
}

HRESULT TARMv4T::ResetTarvoRegisters() {
  return Guarded([&]() -> HRESULT {
    TChannelScope channel(*this);
    HRESULT hr = PauseProcessor();
    if (SUCCEEDED(hr))
      hr = ChangeToARMState();
    if (FAILED(hr))
      return hr;
    FState = TARM_State::eARM_State_ARM;
    // System mode with IRQ and FIQ masked, every register of it cleared.
    hr = WriteRegister(16, kResetCpsr);
    for (int32_t n = 0; n <= 15 && SUCCEEDED(hr); ++n)
      hr = WriteRegister(n, 0);
    return hr;
  });
}

namespace {

// EmbeddedICE register numbers of one watchpoint unit.
struct TWatchpointUnitRegisters {
  int32_t Ctrl, CtrlMask, Data, DataMask, Address, AddressMask;
};
constexpr TWatchpointUnitRegisters kWatchpointUnits[] = {
    {12, 13, 10, 11, 8, 9},
    {20, 21, 18, 19, 16, 17},
};

} // namespace

HRESULT TARMv4T::InitWatchPoints() {
  return Guarded([&] {
    const IARMEmbeddedICE face = IARMEmbeddedICE::FromDispatch(static_cast<IDispatch*>(this));
    for (const TWatchpointUnitRegisters& unit : kWatchpointUnits) {
      const TComPtr<TARMHardBreakpointPoint> point(
          new TARMHardBreakpointPoint(face, unit.Ctrl, unit.CtrlMask, unit.Data, unit.DataMask,
                                      unit.Address, unit.AddressMask));
      if (!FDeviceDebugManager.IsEmpty())
        FDeviceDebugManager.AddHardBreakPoint(IHardBreakpoint::FromDispatch(point.Get()));
    }
  });
}

HRESULT TARMv4T::SaveState() {
  return ChangeToARMState();
}
HRESULT TARMv4T::RestoreState() {
  FStateSaved = false;
  return S_OK;
}
HRESULT TARMv4T::ClearState() {
  FStateSaved = false;
  return S_OK;
}

HRESULT TARMv4T::ReadModeRegister(int32_t ARegister, int32_t AMode, uint32_t* AValue) {
  *AValue = 0;
  SwitchProcessorMode_Begin(AMode);
  if ((ARegister >= 8 && ARegister <= 14) || ARegister == 17)
    ReadRegister(ARegister, AValue);
  return SwitchProcessorMode_End();
}

HRESULT TARMv4T::WriteModeRegister(int32_t ARegister, uint32_t AValue, int32_t AMode) {
  SwitchProcessorMode_Begin(AMode);
  if ((ARegister >= 8 && ARegister <= 14) || ARegister == 17)
    WriteRegister(ARegister, AValue);
  return SwitchProcessorMode_End();
}

HRESULT TARMv4T::SwitchProcessorMode_Begin(int32_t AMode) {
  if (uint32_t(AMode) == FMode)
    return S_OK;
  FSavedMode = FMode;
  FModeSaved = true;
  uint32_t cpsr = 0;
  ReadRegister(16, &cpsr);
  return WriteRegister(16, (cpsr & ~0x1Fu) | uint32_t(AMode));
}

HRESULT TARMv4T::SwitchProcessorMode_End() {
  if (!FModeSaved)
    return S_OK;
  FModeSaved = false;
  uint32_t cpsr = 0;
  ReadRegister(16, &cpsr);
  return WriteRegister(16, (cpsr & ~0x1Fu) | FSavedMode);
}

HRESULT TARMv4T::AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) {
  *AResult = 0;
  if (ASpace != 0)
    return S_OK;
  const uint32_t address = uint32_t(AAddress) & ~1u;
  if (AAddress & 1) {
    ReadMemory_HalfWord(address, AResult);
    return WriteMemory_HalfWord(address, kThumbBreakpointV4 & 0xFFFF);
  }
  ReadMemory_Word(address, AResult);
  return WriteMemory_Word(address, kArmBreakpoint);
}

HRESULT TARMv4T::RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                                      TBoolean* AResult) {
  *AResult = false;
  if (ASpace != 0)
    return S_OK;
  const uint32_t address = uint32_t(AAddress) & ~1u;
  const HRESULT hr =
      (AAddress & 1) ? WriteMemory_HalfWord(address, AValue) : WriteMemory_Word(address, AValue);
  *AResult = true;
  return hr;
}

uint32_t TARMv4T::ReadPhysicalWord(uint32_t AAddress) {
  uint32_t cells[4] = {};
  ReadPhysicalMemory(cells, AAddress, 4);
  TBoolean little;
  LittleEndian(&little);
  uint32_t word = 0;
  for (int b = 0; b < 4; ++b)
    word |= (cells[b] & 0xFF) << (little ? 8 * b : 8 * (3 - b));
  return word;
}

HRESULT TARMv4T::TranslateVirtualAddress(int64_t AAddress, int32_t& ACacheBits, int32_t& ADomain,
                                         int32_t& AAccess, int64_t* APhysical) {
  *APhysical = AAddress;
  ACacheBits = ADomain = AAccess = 0;
  const uint32_t va = uint32_t(AAddress);
  int64_t ttb = 0;
  GetTranslationTableBase(&ttb);
  const uint32_t l1 = ReadPhysicalWord((uint32_t(ttb) & 0xFFFFC000) | ((va >> 20) << 2));
  const uint32_t l1Type = l1 & 3;
  TBoolean tiny;
  HasTinyPages(&tiny);
  if (l1Type == 0 || (l1Type == 3 && !tiny))
    return S_OK;
  ADomain = int32_t((l1 >> 5) & 0xF);
  if (l1Type == 2) {
    ACacheBits = int32_t((l1 >> 2) & 3);
    AAccess = int32_t((l1 >> 10) & 3);
    *APhysical = (l1 & 0xFFF00000) | (va & 0xFFFFF);
    return S_OK;
  }
  const uint32_t l2Address = l1Type == 1 ? (l1 & 0xFFFFFC00) | (((va >> 12) & 0xFF) << 2)
                                         : (l1 & 0xFFFFF000) | (((va >> 10) & 0x3FF) << 2);
  const uint32_t l2 = ReadPhysicalWord(l2Address);
  switch (l2 & 3) {
  case 0:
    return S_OK;
  case 1:
    ACacheBits = int32_t((l2 >> 2) & 3);
    AAccess = int32_t((l2 >> 4) & 0xFF);
    *APhysical = (l2 & 0xFFFF0000) | (va & 0xFFFF);
    return S_OK;
  case 2:
    ACacheBits = int32_t((l2 >> 2) & 3);
    AAccess = int32_t((l2 >> 4) & 0xFF);
    *APhysical = (l2 & 0xFFFFF000) | (va & 0xFFF);
    return S_OK;
  default:
    ACacheBits = int32_t((l2 >> 2) & 3);
    AAccess = int32_t((l2 >> 4) & 3);
    *APhysical = (l2 & 0xFFFFFC00) | (va & 0x3FF);
    return S_OK;
  }
}
