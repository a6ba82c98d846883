#pragma once

#include <cstdint>
#include <string>

// One Stellaris part the simulator can be: its identification registers and
// default memory sizes.
struct TSimDevice {
  const char* Name;
  uint32_t Did0;
  uint32_t Did1;
  uint32_t Dc1;
  unsigned FlashKb;
  unsigned SramKb;
};

// The known parts; the first one is the default.
const TSimDevice* FindSimDevice(const std::string& AName);
const TSimDevice& DefaultSimDevice();

struct TSimConfig {
  const TSimDevice* Device = &DefaultSimDevice();
  unsigned FlashKb = 256; // flash at 0; a multiple of 2 KB
  unsigned SramKb = 64;   // SRAM at 0x20000000; a multiple of 1 KB
  uint64_t TckHz = 10000000;
  // Chain layout: ChainLength TAPs, the Cortex-M3 debug port at ChipPosition,
  // the others a second device (IR 5 bits, IDCODE 0x0A0B0C0D).
  unsigned ChainLength = 2;
  unsigned ChipPosition = 0;
  // Instructions a running core executes per debug-port transaction.
  unsigned StepsPerAccess = 64;
  // The AHB-AP's auto-increment wraps inside blocks of this size.
  uint32_t TarWrapBytes = 4096;
};

// Switches that make the chip misbehave the way broken or absent hardware does.
struct TSimFaults {
  unsigned WaitAccesses = 0;    // the next n DPACC/APACC scans answer WAIT
  bool NoPowerAck = false;      // CDBGPWRUPACK/CSYSPWRUPACK never come
  bool TdoStuckHigh = false;    // no target: TDO reads 1 whatever is shifted
  bool BusErrorEnabled = false; // every bus access to the word at BusErrorAddress fails
  uint32_t BusErrorAddress = 0;
  bool NeverShowHalted = false; // DHCSR.S_HALT never reads 1
  bool FlashStuckBusy = false;  // FMC's command bits never clear: no flash operation ends
  // After a DCRSR write the transfer waits, S_REGRDY reading 0, for this
  // many DHCSR reads (UINT_MAX: it never completes).
  unsigned RegisterReadyLate = 0;
};

// Virtual time and work counters, for tests and benchmarks that report
// target time rather than host time.
struct TSimCounters {
  uint64_t TckCycles = 0;
  uint64_t DapTransactions = 0;
  uint64_t WaitResponses = 0;
  uint64_t Instructions = 0;
  uint64_t FlashWordPrograms = 0;
  uint64_t FlashPageErases = 0;
  uint64_t FlashMassErases = 0;
  uint64_t FlashBusyNs = 0; // program/erase time the flash controller spent
};

// Datasheet-like flash timings.
constexpr uint64_t kFlashWordProgramNs = 20000;   // 20 us
constexpr uint64_t kFlashPageEraseNs = 20000000;  // 20 ms
constexpr uint64_t kFlashMassEraseNs = 200000000; // 200 ms
