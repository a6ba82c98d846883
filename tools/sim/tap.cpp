#include "tap.h"

#include <cstddef>

namespace {

struct TTransition {
  TTapState OnZero, OnOne;
};

// IEEE 1149.1 state diagram, indexed by TTapState.
constexpr TTransition kTransitions[] = {
    {TTapState::Reset, TTapState::Reset},        // Undefined: any clock lands in a real state
    {TTapState::Idle, TTapState::Reset},         // Reset
    {TTapState::Idle, TTapState::DrSelect},      // Idle
    {TTapState::DrCapture, TTapState::IrSelect}, // DrSelect
    {TTapState::DrShift, TTapState::DrExit1},    // DrCapture
    {TTapState::DrShift, TTapState::DrExit1},    // DrShift
    {TTapState::DrPause, TTapState::DrUpdate},   // DrExit1
    {TTapState::DrPause, TTapState::DrExit2},    // DrPause
    {TTapState::DrShift, TTapState::DrUpdate},   // DrExit2
    {TTapState::Idle, TTapState::DrSelect},      // DrUpdate
    {TTapState::IrCapture, TTapState::Reset},    // IrSelect
    {TTapState::IrShift, TTapState::IrExit1},    // IrCapture
    {TTapState::IrShift, TTapState::IrExit1},    // IrShift
    {TTapState::IrPause, TTapState::IrUpdate},   // IrExit1
    {TTapState::IrPause, TTapState::IrExit2},    // IrPause
    {TTapState::IrShift, TTapState::IrUpdate},   // IrExit2
    {TTapState::Idle, TTapState::DrSelect},      // IrUpdate
};

} // namespace

TTapState NextTapState(TTapState AState, bool ATms) {
  const auto& t = kTransitions[static_cast<unsigned>(AState)];
  return ATms ? t.OnOne : t.OnZero;
}

TTap::TTap(unsigned AIrLength, uint32_t AIdcodeInstruction, uint32_t AIdcode)
    : FIrLength(AIrLength), FIdcodeInstruction(AIdcodeInstruction), FIdcode(AIdcode),
      FInstruction(AIdcode != 0 ? AIdcodeInstruction : (1u << AIrLength) - 1) {}

void TTap::CaptureIr() {
  // IEEE 1149.1 fixes the two low bits of the IR capture at 01.
  FShift = 1;
  FShiftLength = FIrLength;
}

void TTap::CaptureDr() {
  FShiftLength = DrLength();
  FShift = CaptureData(FInstruction);
}

void TTap::Shift(bool ATdi) {
  FShift >>= 1;
  if (ATdi)
    FShift |= uint64_t(1) << (FShiftLength - 1);
}

void TTap::UpdateIr() {
  FInstruction = static_cast<uint32_t>(FShift) & BypassInstruction();
}

void TTap::UpdateDr() {
  const uint64_t mask = FShiftLength >= 64 ? ~uint64_t(0) : (uint64_t(1) << FShiftLength) - 1;
  UpdateData(FInstruction, FShift & mask);
}

void TTap::ResetLogic() {
  FInstruction = FIdcode != 0 ? FIdcodeInstruction : BypassInstruction();
  OnTestLogicReset();
}

unsigned TTap::DataLength(uint32_t AInstruction) const {
  return IsIdcode(AInstruction) ? 32 : 1;
}

uint64_t TTap::CaptureData(uint32_t AInstruction) {
  // BYPASS captures 0.
  return IsIdcode(AInstruction) ? FIdcode : 0;
}

void TTap::UpdateData(uint32_t, uint64_t) {}

bool TTapChain::Tdo() const {
  if (FTaps.empty())
    return true;
  if (FState == TTapState::DrShift || FState == TTapState::IrShift)
    return FTaps.front()->Tdo();
  return true;
}

bool TTapChain::Clock(bool ATms, bool ATdi) {
  const bool tdo = Tdo();
  switch (FState) {
  case TTapState::DrCapture:
    ++FDrScans;
    for (auto* tap : FTaps)
      tap->CaptureDr();
    break;
  case TTapState::IrCapture:
    ++FIrScans;
    for (auto* tap : FTaps)
      tap->CaptureIr();
    break;
  case TTapState::DrShift:
  case TTapState::IrShift: {
    // All TAPs shift on the same edge: walking from the TDO end, each TAP
    // still sees its neighbour's output from before the edge.
    for (std::size_t i = 0; i < FTaps.size(); ++i)
      FTaps[i]->Shift(i + 1 < FTaps.size() ? FTaps[i + 1]->Tdo() : ATdi);
    break;
  }
  default:
    break;
  }
  const TTapState next = NextTapState(FState, ATms);
  FState = next;
  switch (next) {
  case TTapState::DrUpdate:
    for (auto* tap : FTaps)
      tap->UpdateDr();
    break;
  case TTapState::IrUpdate:
    for (auto* tap : FTaps)
      tap->UpdateIr();
    break;
  case TTapState::Reset:
    for (auto* tap : FTaps)
      tap->ResetLogic();
    break;
  default:
    break;
  }
  return tdo;
}

void TTapChain::Reset() {
  FState = TTapState::Reset;
  for (auto* tap : FTaps)
    tap->ResetLogic();
}
