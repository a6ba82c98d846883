#include "jtag-channel.h"

namespace {
constexpr int kIdle = 2;
constexpr int kIrShift = 12;
} // namespace

bool TTestJtagChannel::OpenChannel() {
  ++FOpenDepth;
  ++FOpens;
  return true;
}

void TTestJtagChannel::CloseChannel() {
  if (FOpenDepth > 0) --FOpenDepth;
  // The end of every transaction, nested or not: the plug-in may wait next
  // (for a loader it just started), and what it wrote must be on the chain.
  FTarget.Flush();
}

unsigned TTestJtagChannel::Position(int32_t AIndex) const {
  if (AIndex < 0 || unsigned(AIndex) >= FTarget.DeviceCount())
    throw EJtagChannelError("no device at JTAG index " + std::to_string(AIndex));
  return unsigned(AIndex);
}

void TTestJtagChannel::MoveToState(int, int ATo) { FTarget.MoveToState(ATo & 0x7F); }

void TTestJtagChannel::ShiftInstruction(int32_t AInstruction, int32_t AIndex) {
  const unsigned pos = Position(AIndex);
  ++FInstructionScans;
  BitsInto(uint32_t(AInstruction), FTarget.IrLength(pos), FInstruction);
  FTarget.ShiftIRBlind(pos, FInstruction);
}

void TTestJtagChannel::SendInstruction(int32_t AInstruction, int32_t AIndex) {
  FTarget.MoveToState(kIrShift);
  ShiftInstruction(AInstruction, AIndex);
  FTarget.MoveToState(kIdle);
}

void TTestJtagChannel::ShiftData(int32_t AValue, int32_t ABitCount, int32_t AIndex) {
  ShiftDataCapture(AValue, ABitCount, AIndex);
}

int32_t TTestJtagChannel::ShiftDataCapture(int32_t AValue, int32_t ABitCount, int32_t AIndex) {
  if (ABitCount < 1 || ABitCount > 32)
    throw EJtagChannelError("a data shift takes 1 to 32 bits, not " + std::to_string(ABitCount));
  const unsigned pos = Position(AIndex);
  ++FDataScans;
  return int32_t(ValueOfBits(FTarget.ShiftDR(pos, BitsOf(uint32_t(AValue), unsigned(ABitCount)))));
}

std::wstring TTestJtagChannel::ShiftDataBits(const std::wstring& ABits, int32_t AIndex) {
  std::wstring captured;
  ShiftDataBits(ABits, AIndex, captured);
  return captured;
}

void TTestJtagChannel::ShiftDataBits(std::wstring_view ABits, int32_t AIndex,
                                     std::wstring& ACaptured) {
  const unsigned pos = Position(AIndex);
  FBits.resize(ABits.size());
  // Any character but '0' and '1' leaves a bit set above bit 0 of the XOR.
  wchar_t wrong = 0;
  for (size_t i = 0; i < ABits.size(); ++i) {
    const wchar_t bit = ABits[i] ^ L'0';
    wrong |= bit;
    FBits[i] = char('0' | (bit & 1));
  }
  if (wrong & ~wchar_t(1))
    throw EJtagChannelError("a bit string holds only '0' and '1'");
  ++FDataScans;
  FTarget.ShiftDRInto(pos, FBits, FCapturedBits);
  ACaptured.resize(FCapturedBits.size());
  for (size_t i = 0; i < FCapturedBits.size(); ++i)
    ACaptured[i] = wchar_t(static_cast<unsigned char>(FCapturedBits[i]));
}
