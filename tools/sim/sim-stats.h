#pragma once

#include "stellaris-sim.h"

#include <cstdint>
#include <string>

// What one client cost the simulated board: TCK cycles, scans and socket
// bytes, with the chip's own work. Benchmarks compare debuggers by these
// target-side figures, which do not depend on how fast the host runs.
struct TSimStats {
  uint64_t TckCycles = 0;
  uint64_t IrScans = 0;
  uint64_t DrScans = 0;
  uint64_t BytesReceived = 0;
  uint64_t BytesSent = 0;
  uint64_t DapTransactions = 0;
  uint64_t Instructions = 0;
  uint64_t FlashWordPrograms = 0;
  uint64_t FlashPageErases = 0;
  uint64_t VirtualNs = 0; // TCK at the configured clock plus flash busy time
  uint64_t TckNs = 0;     // the TCK cycles alone at the configured clock
};

// The board's counters now, with the socket byte counts the server keeps.
TSimStats TakeSimStats(const TStellarisSim& ASim, uint64_t ABytesReceived, uint64_t ABytesSent);

// The work done between two snapshots of the same board.
TSimStats operator-(const TSimStats& AAfter, const TSimStats& ABefore);

// One line of `key=value` pairs (no spaces inside a value) that a shell
// script can pick apart with sed: the connection's number and its figures.
std::string FormatSimStats(unsigned AConnection, const TSimStats& AStats);
