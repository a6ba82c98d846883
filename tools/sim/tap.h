#pragma once

#include <cstdint>
#include <vector>

// TAP controller states, numbered as the SVF state list the JTAG channel
// passes around (0 is "undefined" and never a real state).
enum class TTapState : unsigned {
  Undefined = 0,
  Reset = 1,
  Idle = 2,
  DrSelect = 3,
  DrCapture = 4,
  DrShift = 5,
  DrExit1 = 6,
  DrPause = 7,
  DrExit2 = 8,
  DrUpdate = 9,
  IrSelect = 10,
  IrCapture = 11,
  IrShift = 12,
  IrExit1 = 13,
  IrPause = 14,
  IrExit2 = 15,
  IrUpdate = 16,
};

// The state the controller enters on a rising TCK edge with the given TMS.
TTapState NextTapState(TTapState AState, bool ATms);

// One TAP: an instruction register and the data registers it selects. The
// chain owns the controller state (every TAP sees the same TMS); a TAP only
// captures, shifts and updates when the chain tells it to.
class TTap {
public:
  TTap(unsigned AIrLength, uint32_t AIdcodeInstruction, uint32_t AIdcode);
  virtual ~TTap() = default;

  unsigned IrLength() const { return FIrLength; }
  uint32_t Instruction() const { return FInstruction; }
  uint32_t Idcode() const { return FIdcode; }
  // Length of the data register the current instruction selects.
  unsigned DrLength() const { return DataLength(FInstruction); }

  // The bit the TAP drives on TDO while shifting (LSB of the shift register).
  bool Tdo() const { return (FShift & 1) != 0; }

  void CaptureIr();
  void CaptureDr();
  void Shift(bool ATdi);
  void UpdateIr();
  void UpdateDr();
  // Test-Logic-Reset: IDCODE (or BYPASS when the TAP has none) is selected.
  void ResetLogic();

protected:
  virtual unsigned DataLength(uint32_t AInstruction) const;
  virtual uint64_t CaptureData(uint32_t AInstruction);
  virtual void UpdateData(uint32_t AInstruction, uint64_t AValue);
  virtual void OnTestLogicReset() {}

  uint32_t BypassInstruction() const { return (1u << FIrLength) - 1; }
  bool IsIdcode(uint32_t AInstruction) const {
    return FIdcode != 0 && AInstruction == FIdcodeInstruction;
  }

private:
  unsigned FIrLength;
  uint32_t FIdcodeInstruction;
  uint32_t FIdcode;
  uint32_t FInstruction;
  uint64_t FShift = 0;
  unsigned FShiftLength = 1;
};

// The chain: position 0 is the TAP whose TDO is the chain's TDO (the first
// TAP OpenOCD lists), the last position takes the chain's TDI.
class TTapChain {
public:
  void Add(TTap& ATap) { FTaps.push_back(&ATap); }
  unsigned Count() const { return static_cast<unsigned>(FTaps.size()); }
  TTap& At(unsigned APosition) const { return *FTaps.at(APosition); }
  TTapState State() const { return FState; }

  // The TDO level before the next rising edge: the first TAP's shift
  // register bit in a shift state, else the pulled-up idle level.
  bool Tdo() const;
  // One rising TCK edge; returns the TDO sampled just before it.
  bool Clock(bool ATms, bool ATdi);
  // TRST: every TAP to Test-Logic-Reset at once.
  void Reset();

  uint64_t IrScans() const { return FIrScans; }
  uint64_t DrScans() const { return FDrScans; }

private:
  std::vector<TTap*> FTaps;
  TTapState FState = TTapState::Reset;
  uint64_t FIrScans = 0, FDrScans = 0;
};
