#include "sim-stats.h"

#include <cstddef>

namespace {

// The line's fields in order; one table serves the difference and the text.
struct TStatsField {
  const char* Key;
  uint64_t TSimStats::*Field;
};

constexpr TStatsField kStatsFields[] = {
    {"tck", &TSimStats::TckCycles},
    {"ir_scans", &TSimStats::IrScans},
    {"dr_scans", &TSimStats::DrScans},
    {"bytes_in", &TSimStats::BytesReceived},
    {"bytes_out", &TSimStats::BytesSent},
    {"dap", &TSimStats::DapTransactions},
    {"instructions", &TSimStats::Instructions},
    {"flash_words", &TSimStats::FlashWordPrograms},
    {"pages_erased", &TSimStats::FlashPageErases},
    {"tck_ns", &TSimStats::TckNs},
    {"virtual_ns", &TSimStats::VirtualNs},
};

uint64_t TckNs(uint64_t ATck, uint64_t AHz) {
  // Split to keep the product inside 64 bits for long runs.
  return (ATck / AHz) * 1000000000ull + (ATck % AHz) * 1000000000ull / AHz;
}

} // namespace

TSimStats TakeSimStats(const TStellarisSim& ASim, uint64_t ABytesReceived, uint64_t ABytesSent) {
  const TSimCounters& c = ASim.Counters();
  TSimStats s;
  s.TckCycles = c.TckCycles;
  s.IrScans = ASim.IrScans();
  s.DrScans = ASim.DrScans();
  s.BytesReceived = ABytesReceived;
  s.BytesSent = ABytesSent;
  s.DapTransactions = c.DapTransactions;
  s.Instructions = c.Instructions;
  s.FlashWordPrograms = c.FlashWordPrograms;
  s.FlashPageErases = c.FlashPageErases;
  s.VirtualNs = ASim.VirtualTimeNs();
  s.TckNs = TckNs(c.TckCycles, ASim.Config().TckHz);
  return s;
}

TSimStats operator-(const TSimStats& AAfter, const TSimStats& ABefore) {
  TSimStats d;
  for (const auto& f : kStatsFields)
    d.*f.Field = AAfter.*f.Field - ABefore.*f.Field;
  return d;
}

std::string FormatSimStats(unsigned AConnection, const TSimStats& AStats) {
  std::string line = "connection=" + std::to_string(AConnection);
  for (const auto& f : kStatsFields)
    line += std::string(" ") + f.Key + "=" + std::to_string(AStats.*f.Field);
  line += " scans=" + std::to_string(AStats.IrScans + AStats.DrScans);
  return line;
}
