#include "armv7m.h"

#include "text-utils.h"

namespace {

constexpr int kIdle = 2, kDrShift = 5, kDrExit1 = 6, kIrShift = 12, kIrExit1 = 13;

bool InV7MRange(int32_t AIndex) {
  return uint32_t(AIndex) < uint32_t(kArmV7MRegisterCount);
}

uint32_t BitsValue(const std::wstring& AText) {
  uint32_t value = 0;
  return BinStrToInt(AText, value) ? value : 0;
}

} // namespace

std::wstring DapScanText(uint32_t AData, uint8_t AAddress, bool ARead) {
  std::wstring text;
  text.reserve(35);
  for (int i = 31; i >= 0; --i)
    text += (AData >> i) & 1 ? L'1' : L'0';
  const unsigned low = ((AAddress >> 1) & 6) | (ARead ? 1 : 0);
  for (int i = 2; i >= 0; --i)
    text += (low >> i) & 1 ? L'1' : L'0';
  return text;
}

uint32_t DapCapturedData(const std::wstring& ACaptured) {
  return ACaptured.size() < 32 ? 0 : BitsValue(ACaptured.substr(0, 32));
}

uint8_t DapCapturedAck(const std::wstring& ACaptured) {
  return ACaptured.size() < 35 ? 0 : uint8_t(BitsValue(ACaptured.substr(32, 3)));
}

uint32_t TARMv7M::ReadCoreRegister(int32_t) {
  return 0;
}
void TARMv7M::WriteCoreRegister(int32_t, uint32_t) {}

HRESULT TARMv7M::GetProcessorRegisterCount(int32_t* AResult) {
  *AResult = kArmV7MRegisterCount;
  return S_OK;
}
HRESULT TARMv7M::GetProcessorRegisterName(int32_t AIndex, std::wstring* AResult) {
  *AResult = InV7MRange(AIndex) ? kArmV7MRegisters[AIndex].Name : L"";
  return S_OK;
}
HRESULT TARMv7M::GetProcessorRegisterShortName(int32_t AIndex, std::wstring* AResult) {
  *AResult = InV7MRange(AIndex) ? kArmV7MRegisters[AIndex].ShortName : L"";
  return S_OK;
}
HRESULT TARMv7M::GetProcessorRegisterWidth(int32_t AIndex, uint32_t* AResult) {
  *AResult = InV7MRange(AIndex) ? kArmV7MRegisters[AIndex].Width : 32;
  return S_OK;
}
HRESULT TARMv7M::GetRegisterIndex_PC(int32_t* AResult) {
  *AResult = kArmV7MRegisterIndexPC;
  return S_OK;
}
HRESULT TARMv7M::GetRegisterIndex_SP(int32_t* AResult) {
  *AResult = kArmV7MRegisterIndexSP;
  return S_OK;
}
HRESULT TARMv7M::LittleEndian(TBoolean* AResult) {
  *AResult = !FBigEndian;
  return S_OK;
}
HRESULT TARMv7M::ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) {
  *AResult = true;
  return S_OK;
}

HRESULT TARMv7M::ResetTarvoRegisters() {
  return Guarded([&]() -> HRESULT {
    TChannelScope channel(*this);
    HRESULT hr = PauseProcessor();
    for (int32_t n = 0; n <= 15 && SUCCEEDED(hr); ++n)
      hr = WriteRegister(n, 0);
    return hr;
  });
}

HRESULT TARMv7M::ResetProcessor() {
  const HRESULT hr = TARMBase::ResetProcessor();
  FSavedPC = 0;
  return hr;
}

HRESULT TARMv7M::ReadRegister(int32_t AIndex, uint32_t* AValue) {
  *AValue = 0;
  if (!InV7MRange(AIndex))
    return S_OK;
  const TArmV7MRegisterRow& row = kArmV7MRegisters[AIndex];
  switch (row.View) {
  case TArmRegisterView::Core:
    *AValue = ReadCoreRegister(row.Core);
    break;
  case TArmRegisterView::ProgramCount:
    *AValue = FSavedPC = ReadCoreRegister(row.Core);
    break;
  case TArmRegisterView::Xpsr:
    *AValue = FSavedXPSR = ReadCoreRegister(row.Core);
    break;
  case TArmRegisterView::Cfbp:
    *AValue = FSavedCFBP = ReadCoreRegister(row.Core);
    break;
  case TArmRegisterView::XpsrField:
    *AValue = (FSavedXPSR & row.Mask) >> row.Shift;
    break;
  case TArmRegisterView::CfbpField:
    *AValue = (FSavedCFBP & row.Mask) >> row.Shift;
    break;
  case TArmRegisterView::ItState:
    *AValue = ItStateOf(FSavedXPSR);
    break;
  case TArmRegisterView::ThumbBit:
    *AValue = (FSavedXPSR >> 24) & 1;
    break;
  }
  return S_OK;
}

HRESULT TARMv7M::WriteRegister(int32_t AIndex, uint32_t AValue) {
  if (!InV7MRange(AIndex))
    return S_OK;
  const TArmV7MRegisterRow& row = kArmV7MRegisters[AIndex];
  // A write to a cached word goes to the core only when it changes it; the
  // cache itself changes only when the word is read again.
  const auto writeCached = [&](uint32_t ACached, uint32_t AWord) {
    if (AWord != ACached)
      WriteCoreRegister(row.Core, AWord);
  };
  switch (row.View) {
  case TArmRegisterView::Core:
  case TArmRegisterView::ProgramCount:
    WriteCoreRegister(row.Core, AValue);
    break;
  case TArmRegisterView::Xpsr:
    writeCached(FSavedXPSR, AValue);
    break;
  case TArmRegisterView::Cfbp:
    writeCached(FSavedCFBP, AValue);
    break;
  case TArmRegisterView::XpsrField:
    writeCached(FSavedXPSR, (FSavedXPSR & ~row.Mask) | ((AValue << row.Shift) & row.Mask));
    break;
  case TArmRegisterView::CfbpField:
    writeCached(FSavedCFBP, (FSavedCFBP & ~row.Mask) | ((AValue << row.Shift) & row.Mask));
    break;
  case TArmRegisterView::ItState:
    writeCached(FSavedXPSR, WithItState(FSavedXPSR, AValue));
    break;
  case TArmRegisterView::ThumbBit:
    writeCached(FSavedXPSR, AValue ? FSavedXPSR | (1u << 24) : FSavedXPSR & ~(1u << 24));
    break;
  }
  return S_OK;
}

HRESULT TARMv7M::SaveState() {
  return ChangeToARMState();
}
HRESULT TARMv7M::RestoreState() {
  FStateSaved = false;
  return S_OK;
}
HRESULT TARMv7M::ClearState() {
  FStateSaved = false;
  return S_OK;
}
HRESULT TARMv7M::InitWatchPoints() {
  return S_OK;
}

HRESULT TARMv7M::AddSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t* AResult) {
  *AResult = 0;
  if (ASpace != 0)
    return S_OK;
  const uint32_t address = uint32_t(AAddress) & ~1u;
  HRESULT hr = ReadMemory_HalfWord(address, AResult);
  if (FAILED(hr))
    return hr;
  return WriteMemory_HalfWord(address, kThumbBreakpoint & 0xFFFF);
}

HRESULT TARMv7M::RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AValue,
                                      TBoolean* AResult) {
  *AResult = false;
  if (ASpace != 0)
    return S_OK;
  const HRESULT hr = WriteMemory_HalfWord(uint32_t(AAddress) & ~1u, AValue);
  *AResult = true;
  return hr;
}

bool TARMv7M::Scan(uint8_t AInstruction, uint8_t AAddress, bool ARead, uint32_t AData,
                   std::wstring& ACaptured) {
  if (GetJTagChannel().IsEmpty())
    return false;
  GetJTagChannel().MoveToState(kIdle, kIrShift);
  GetJTagChannel().ShiftInstruction(AInstruction, GetJTagIndex());
  GetJTagChannel().MoveToState(kIrExit1, kDrShift);
  ACaptured = GetJTagChannel().ShiftDataBits(DapScanText(ARead ? 0 : AData, AAddress, ARead),
                                             GetJTagIndex());
  GetJTagChannel().MoveToState(kDrExit1, kIdle);
  return true;
}

bool TARMv7M::DapScanRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData, uint8_t& AAck) {
  std::wstring captured;
  if (!Scan(AInstruction, AAddress, true, 0, captured))
    return false;
  AData = DapCapturedData(captured);
  AAck = DapCapturedAck(captured);
  return true;
}

bool TARMv7M::DapScanPostRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData) {
  std::wstring captured;
  if (!Scan(AInstruction, AAddress, true, 0, captured))
    return false;
  AData = DapCapturedData(captured);
  return true;
}

bool TARMv7M::DapScanWrite(uint8_t AInstruction, uint8_t AAddress, uint32_t AData, uint8_t& AAck) {
  std::wstring captured;
  if (!Scan(AInstruction, AAddress, false, AData, captured))
    return false;
  AAck = DapCapturedAck(captured);
  return true;
}
