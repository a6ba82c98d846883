#pragma once

#include "stellaris-sim.h"
#include "tap.h"

#include <string>

// Scan-level access to the simulated chain for an in-process JTAG channel.
// Every operation is carried out as TMS/TDI bits through
// TStellarisSim::ClockBit, so it exercises the same TAP model as a probe on
// the pins does.
//
// Bit strings: one '0' or '1' character per bit, most significant bit first.
// The LAST character is the FIRST bit shifted in (it enters at TDI first and
// ends up in bit 0 of the device's register); the answer has the same length
// and holds, at each place, the bit captured for that place. So a 35-bit
// DPACC/APACC text reads "data31 ... data0 A3 A2 RnW" and comes back as
// "result31 ... result0 ACK2 ACK1 ACK0".
//
// Chain positions are 0-based; position 0 is the device nearest TDO.
// Shifts leave the other devices' registers filled with ones (IR: BYPASS)
// or zeros (DR), sized from the instruction each of them currently holds.
class TSimScanTarget {
public:
  explicit TSimScanTarget(TStellarisSim& ASim) : FSim(ASim) {}

  unsigned DeviceCount() const { return FSim.Chain().Count(); }
  unsigned IrLength(unsigned APosition) const;
  TTapState State() const { return FSim.Chain().State(); }

  // Five TMS-high clocks (Test-Logic-Reset: every TAP selects IDCODE), then
  // one TMS-low clock into Run-Test/Idle.
  void ResetTap();
  // Walks the shortest TMS path from the current state; nothing is clocked
  // when the chain is already there. A move into Shift-DR or Shift-IR always
  // passes the Capture state, so it starts a new scan (from Exit1 it goes
  // through Update, not through Pause and Exit2).
  void MoveToState(TTapState AState);
  // Shifts the device's instruction (the others get BYPASS); moves to
  // Shift-IR first when the chain is elsewhere and ends in Exit1-IR.
  std::string ShiftIR(unsigned APosition, const std::string& ABits);
  // Shifts the device's data register; moves to Shift-DR first when needed
  // and ends in Exit1-DR.
  std::string ShiftDR(unsigned APosition, const std::string& ABits);
  // The same into the caller's text, whose room is reused.
  void ShiftIRInto(unsigned APosition, const std::string& ABits, std::string& ACaptured);
  void ShiftDRInto(unsigned APosition, const std::string& ABits, std::string& ACaptured);

  // Helpers for integer values (at most 64 bits), same order as the strings.
  static std::string ToBits(uint64_t AValue, unsigned ACount);
  static uint64_t FromBits(const std::string& ABits);

private:
  std::string Shift(unsigned APosition, const std::string& ABits, bool AInstruction);
  void ShiftInto(unsigned APosition, const std::string& ABits, bool AInstruction,
                 std::string& ACaptured);

  TStellarisSim& FSim;
  std::string FIn; // the chain's bits of the scan in progress, reused
};
