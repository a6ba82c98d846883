#pragma once

#include "debug-port.h"
#include "sim-config.h"
#include "stellaris-chip.h"
#include "tap.h"

#include <cstdint>
#include <memory>
#include <vector>

// The whole simulated board: a JTAG chain with the Stellaris chip's debug
// port and the other TAPs, seen through its pins. Deterministic: the same pin
// sequence always gives the same TDO sequence and the same chip state.
class TStellarisSim {
public:
  // IDCODE of the chain's other devices (IR 5 bits, IDCODE instruction 0x1E).
  static constexpr uint32_t kOtherIdcode = 0x0A0B0C0D;
  static constexpr unsigned kOtherIrLength = 5;

  explicit TStellarisSim(const TSimConfig& AConfig = TSimConfig());
  TStellarisSim(const TStellarisSim&) = delete;
  TStellarisSim& operator=(const TStellarisSim&) = delete;

  // One rising TCK edge with the given TMS and TDI; returns the TDO sampled
  // just before the edge (what a probe reads while TCK is low).
  bool ClockBit(bool ATms, bool ATdi);
  // TDO as it stands now, before the next edge.
  bool Tdo() const;
  // The reset pins: TRST puts every TAP in Test-Logic-Reset; SRST holds the
  // chip in system reset while asserted (the debug logic keeps running).
  void SetTrst(bool AAsserted);
  void SetSrst(bool AAsserted);

  const TSimConfig& Config() const { return FConfig; }
  TSimFaults& Faults() { return FFaults; }
  const TSimCounters& Counters() const { return FCounters; }
  TStellarisChip& Chip() { return *FChip; }
  const TTapChain& Chain() const { return FChain; }

  // Virtual target time: TCK cycles at the configured clock plus the time the
  // flash controller spent programming and erasing.
  uint64_t VirtualTimeNs() const;
  uint64_t IrScans() const { return FChain.IrScans(); }
  uint64_t DrScans() const { return FChain.DrScans(); }

private:
  TSimConfig FConfig;
  TSimFaults FFaults;
  TSimCounters FCounters;
  std::unique_ptr<TStellarisChip> FChip;
  std::vector<std::unique_ptr<TTap>> FTaps;
  TTapChain FChain;
};
