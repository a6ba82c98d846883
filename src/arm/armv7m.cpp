#include "armv7m.h"

#include "text-utils.h"

#include <algorithm>

namespace {

constexpr int kIdle = 2, kDrShift = 5, kDrExit1 = 6, kIrShift = 12, kIrExit1 = 13;

bool InV7MRange(int32_t AIndex) {
  return uint32_t(AIndex) < uint32_t(kArmV7MRegisterCount);
}

// The text of every 4-bit value, most significant bit first.
struct TNibbleTexts {
  wchar_t Text[16][4];
  constexpr TNibbleTexts() : Text() {
    for (unsigned v = 0; v < 16; ++v)
      for (unsigned i = 0; i < 4; ++i)
        Text[v][i] = (v >> (3 - i)) & 1 ? L'1' : L'0';
  }
};
constexpr TNibbleTexts kNibbleTexts;

// The value of a bit string; any other text goes the general way, which
// also takes the forms a bit string may be written in, and gives 0 where
// it does not read as one.
uint32_t BitsValue(std::wstring_view AText) {
  uint32_t value = 0, wrong = 0;
  for (const wchar_t c : AText) {
    const uint32_t bit = uint32_t(c) ^ uint32_t(L'0');
    wrong |= bit;
    value = (value << 1) | (bit & 1);
  }
  if (!(wrong & ~1u))
    return value;
  return BinStrToInt(std::wstring(AText), value) ? value : 0;
}

} // namespace

void DapScanTextInto(uint32_t AData, uint8_t AAddress, bool ARead, wchar_t* AText) {
  for (int i = 0; i < 8; ++i)
    std::copy_n(kNibbleTexts.Text[(AData >> (28 - 4 * i)) & 0xF], 4, AText + 4 * i);
  const unsigned low = ((AAddress >> 1) & 6) | (ARead ? 1 : 0);
  std::copy_n(kNibbleTexts.Text[low] + 1, 3, AText + 32);
}

std::wstring DapScanText(uint32_t AData, uint8_t AAddress, bool ARead) {
  std::wstring text(kDapScanBits, L'0');
  DapScanTextInto(AData, AAddress, ARead, text.data());
  return text;
}

uint32_t DapCapturedData(std::wstring_view ACaptured) {
  return ACaptured.size() < 32 ? 0 : BitsValue(ACaptured.substr(0, 32));
}

uint8_t DapCapturedAck(std::wstring_view ACaptured) {
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
    ForgetCoreWords();
    return hr;
  });
}

HRESULT TARMv7M::ResetProcessor() {
  const HRESULT hr = TARMBase::ResetProcessor();
  FSavedPC = 0;
  ForgetCoreWords();
  return hr;
}

uint32_t TARMv7M::KnownWord(int32_t ACore, uint32_t& ACache, bool& AKnown) {
  if (!AKnown) {
    const unsigned dropped = FDiagnostics.DroppedReads;
    ACache = ReadCoreRegister(ACore);
    AKnown = FDiagnostics.DroppedReads == dropped;
  }
  return ACache;
}

void TARMv7M::WriteCachedWord(int32_t ACore, uint32_t AWord, uint32_t& ACache, bool& AKnown) {
  // Equal to a word known to be the core's: nothing to send.
  if (AKnown && AWord == ACache)
    return;
  const unsigned dropped = FDiagnostics.DroppedWrites;
  WriteCoreRegister(ACore, AWord);
  ACache = AWord;
  AKnown = FDiagnostics.DroppedWrites == dropped;
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
    FXpsrKnown = false;
    *AValue = KnownWord(row.Core, FSavedXPSR, FXpsrKnown);
    break;
  case TArmRegisterView::Cfbp:
    FCfbpKnown = false;
    *AValue = KnownWord(row.Core, FSavedCFBP, FCfbpKnown);
    break;
  case TArmRegisterView::XpsrField:
    *AValue = (KnownWord(16, FSavedXPSR, FXpsrKnown) & row.Mask) >> row.Shift;
    break;
  case TArmRegisterView::CfbpField:
    *AValue = (KnownWord(20, FSavedCFBP, FCfbpKnown) & row.Mask) >> row.Shift;
    break;
  case TArmRegisterView::ItState:
    *AValue = ItStateOf(KnownWord(16, FSavedXPSR, FXpsrKnown));
    break;
  case TArmRegisterView::ThumbBit:
    *AValue = (KnownWord(16, FSavedXPSR, FXpsrKnown) >> 24) & 1;
    break;
  }
  return S_OK;
}

HRESULT TARMv7M::WriteRegister(int32_t AIndex, uint32_t AValue) {
  if (!InV7MRange(AIndex))
    return S_OK;
  const TArmV7MRegisterRow& row = kArmV7MRegisters[AIndex];
  // A field shares its core word with others: the write starts from the
  // word the core holds now, and the cache keeps what was written.
  const auto xpsr = [&]() { return KnownWord(16, FSavedXPSR, FXpsrKnown); };
  const auto cfbp = [&]() { return KnownWord(20, FSavedCFBP, FCfbpKnown); };
  switch (row.View) {
  case TArmRegisterView::Core:
  case TArmRegisterView::ProgramCount:
    WriteCoreRegister(row.Core, AValue);
    break;
  case TArmRegisterView::Xpsr:
    WriteCachedWord(16, AValue, FSavedXPSR, FXpsrKnown);
    break;
  case TArmRegisterView::Cfbp:
    WriteCachedWord(20, AValue, FSavedCFBP, FCfbpKnown);
    break;
  case TArmRegisterView::XpsrField:
    WriteCachedWord(16, (xpsr() & ~row.Mask) | ((AValue << row.Shift) & row.Mask), FSavedXPSR,
                    FXpsrKnown);
    break;
  case TArmRegisterView::CfbpField:
    WriteCachedWord(20, (cfbp() & ~row.Mask) | ((AValue << row.Shift) & row.Mask), FSavedCFBP,
                    FCfbpKnown);
    break;
  case TArmRegisterView::ItState:
    WriteCachedWord(16, WithItState(xpsr(), AValue), FSavedXPSR, FXpsrKnown);
    break;
  case TArmRegisterView::ThumbBit:
    WriteCachedWord(16, AValue ? xpsr() | (1u << 24) : xpsr() & ~(1u << 24), FSavedXPSR,
                    FXpsrKnown);
    break;
  }
  return S_OK;
}

HRESULT TARMv7M::SaveState() {
  return ChangeToARMState();
}
HRESULT TARMv7M::RestoreState() {
  FStateSaved = false;
  ForgetCoreWords();
  return S_OK;
}
HRESULT TARMv7M::ClearState() {
  FStateSaved = false;
  ForgetCoreWords();
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

bool TARMv7M::Scan(uint8_t AInstruction, uint8_t AAddress, bool ARead, uint32_t AData) {
  if (GetJTagChannel().IsEmpty())
    return false;
  GetJTagChannel().MoveToState(kIdle, kIrShift);
  GetJTagChannel().ShiftInstruction(AInstruction, GetJTagIndex());
  GetJTagChannel().MoveToState(kIrExit1, kDrShift);
  // The text and the answer keep their room from scan to scan.
  FScanText.resize(kDapScanBits);
  DapScanTextInto(ARead ? 0 : AData, AAddress, ARead, FScanText.data());
  GetJTagChannel().ShiftDataBitsInto(FScanText, GetJTagIndex(), FScanCaptured);
  GetJTagChannel().MoveToState(kDrExit1, kIdle);
  return true;
}

bool TARMv7M::DapScanRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData, uint8_t& AAck) {
  if (!Scan(AInstruction, AAddress, true, 0))
    return false;
  AData = DapCapturedData(FScanCaptured);
  AAck = DapCapturedAck(FScanCaptured);
  return true;
}

bool TARMv7M::DapScanPostRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData) {
  if (!Scan(AInstruction, AAddress, true, 0))
    return false;
  AData = DapCapturedData(FScanCaptured);
  return true;
}

bool TARMv7M::DapScanWrite(uint8_t AInstruction, uint8_t AAddress, uint32_t AData, uint8_t& AAck) {
  if (!Scan(AInstruction, AAddress, false, AData))
    return false;
  AAck = DapCapturedAck(FScanCaptured);
  return true;
}
