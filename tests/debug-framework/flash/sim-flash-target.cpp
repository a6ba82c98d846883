#include "sim-flash-target.h"

namespace {

constexpr uint32_t kDhcsr = 0xE000EDF0, kDemcr = 0xE000EDFC, kAircr = 0xE000ED0C;
constexpr uint32_t kCommandBlock = 0x20000400, kResultBlock = 0x20000414, kEntry = 0x20000000;
// Instructions the core runs per poll: far more than any loader command needs.
constexpr unsigned kSlicesPerPoll = 20000;

TSimConfig ConfigOf(unsigned AFlashKb, unsigned ASramKb) {
  TSimConfig c;
  c.FlashKb = AFlashKb;
  c.SramKb = ASramKb;
  c.StepsPerAccess = 64;
  return c;
}

} // namespace

TSimFlashTarget::TSimFlashTarget(unsigned AFlashKb, unsigned ASramKb)
    : FSim(ConfigOf(AFlashKb, ASramKb)) {}

uint32_t TSimFlashTarget::ReadWord(uint32_t AAddress) {
  uint32_t v = 0;
  Chip().DebugRead(AAddress, 4, v);
  return v;
}

void TSimFlashTarget::WriteWord(uint32_t AAddress, uint32_t AValue) {
  Chip().DebugWrite(AAddress, 4, AValue);
}

HRESULT STDMETHODCALLTYPE TSimFlashTarget::MemoryRead(int32_t ASpace, PMemoryArray ABuffer,
                                                      int64_t AAddress, int32_t ACount,
                                                      TLongBool* ASuccess) {
  ++FCalls;
  *ASuccess = LongFalse;
  if (ASpace != 0)
    return S_OK;
  for (int32_t i = 0; i < ACount; ++i) {
    uint32_t v = 0;
    if (!Chip().DebugRead(uint32_t(AAddress + i), 1, v))
      return S_OK;
    ABuffer[i] = v & 0xFF;
  }
  *ASuccess = LongTrue;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TSimFlashTarget::MemoryWrite(int32_t ASpace, PMemoryArray ABuffer,
                                                       int64_t AAddress, int32_t ACount,
                                                       TLongBool* ASuccess) {
  ++FCalls;
  *ASuccess = LongFalse;
  if (ASpace != 0)
    return S_OK;
  for (int32_t i = 0; i < ACount; ++i)
    if (!Chip().DebugWrite(uint32_t(AAddress + i), 1, ABuffer[i] & 0xFF))
      return S_OK;
  *ASuccess = LongTrue;
  return S_OK;
}

HRESULT TSimFlashTarget::ResetProcessor() {
  ++FCalls;
  // The next command finds the loader as it was installed.
  if (FPatched) {
    WriteWord(kEntry, FPatchedWord);
    FPatched = false;
  }
  // A reset with the reset vector caught leaves the core halted.
  WriteWord(kDhcsr, 0xA05F0001);
  WriteWord(kDemcr, TStellarisChip::VC_CORERESET);
  WriteWord(kAircr, 0x05FA0004);
  return S_OK;
}

HRESULT TSimFlashTarget::PauseProcessor() {
  ++FCalls;
  ++FPauses;
  WriteWord(kDhcsr, 0xA05F0003);
  return S_OK;
}

HRESULT TSimFlashTarget::ContinueProcessor() {
  ++FCalls;
  TCommand command;
  command.Code = ReadWord(kCommandBlock);
  for (unsigned k = 1; k <= 4; ++k)
    command.Parameters.push_back(ReadWord(kCommandBlock + 4 * k));
  FCommands.push_back(command);

  FActive = nullptr;
  auto f = FFaults.find(command.Code);
  const unsigned seen = ++FSeen[command.Code];
  if (f != FFaults.end() && (f->second.Occurrence == 0 || f->second.Occurrence == seen))
    FActive = &f->second;
  // A loader that hangs or dies at its first instruction: "b ." or "bkpt".
  if (FActive && (FActive->Kind == TMisbehaviour::NeverStops ||
                  FActive->Kind == TMisbehaviour::DiesSilently)) {
    const uint32_t word = ReadWord(kEntry);
    FPatchedWord = word;
    FPatched = true;
    const uint32_t patch = FActive->Kind == TMisbehaviour::NeverStops ? 0xE7FE : 0xBE00;
    WriteWord(kEntry, (word & 0xFFFF0000) | patch);
  }
  WriteWord(kDhcsr, 0xA05F0001);
  return S_OK;
}

HRESULT TSimFlashTarget::ProcessorIsRunning(TBoolean* AResult) {
  ++FCalls;
  ++FRunningPolls;
  for (unsigned i = 0; i < kSlicesPerPoll && !Chip().IsHalted(); ++i)
    Chip().RunSlice();
  const bool running = !Chip().IsHalted();
  if (!running && FActive && FActive->Kind == TMisbehaviour::ForceStatus) {
    WriteWord(kResultBlock, FActive->Status);
    FActive = nullptr;
  }
  *AResult = running;
  return S_OK;
}

HRESULT TSimFlashTarget::GetRegisterIndex_PC(int32_t* AResult) {
  *AResult = kPcIndex;
  return S_OK;
}

HRESULT TSimFlashTarget::GetRegisterIndex_SP(int32_t* AResult) {
  *AResult = kSpIndex;
  return S_OK;
}

HRESULT TSimFlashTarget::SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue,
                                                   TBoolean* AResult) {
  ++FCalls;
  struct TRow {
    int32_t Index;
    TCoreRegister Register;
    unsigned Selector;
  };
  constexpr TRow kRows[] = {{kPcIndex, TCoreRegister::PC, TThumbCore::DebugReturnAddress},
                            {kSpIndex, TCoreRegister::SP, TThumbCore::SP},
                            {kXpsrIndex, TCoreRegister::XPSR, TThumbCore::XPSR}};
  *AResult = false;
  for (const TRow& row : kRows)
    if (row.Index == AIndex) {
      FRegisterWrites.emplace_back(row.Register, AValue);
      Chip().Core().WriteRegister(row.Selector, AValue);
      *AResult = true;
    }
  return S_OK;
}

std::vector<uint8_t> TSimFlashTarget::Sram() {
  std::vector<uint8_t> bytes(Chip().SramSize());
  for (uint32_t a = 0; a < bytes.size(); a += 4) {
    const uint32_t w = ReadWord(0x20000000 + a);
    for (unsigned i = 0; i < 4; ++i)
      bytes[a + i] = uint8_t(w >> (8 * i));
  }
  return bytes;
}

void TSimFlashTarget::ScrambleSram(uint32_t ASeed) {
  uint32_t x = ASeed | 1;
  for (uint32_t a = 0; a < Chip().SramSize(); a += 4) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    WriteWord(0x20000000 + a, x);
  }
}

std::vector<TSimFlashTarget::TCommand> TSimFlashTarget::CommandsOf(uint32_t ACode) const {
  std::vector<TCommand> out;
  for (const TCommand& c : FCommands)
    if (c.Code == ACode)
      out.push_back(c);
  return out;
}
