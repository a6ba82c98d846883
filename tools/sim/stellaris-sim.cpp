#include "stellaris-sim.h"

#include <stdexcept>

TStellarisSim::TStellarisSim(const TSimConfig& AConfig) : FConfig(AConfig) {
  if (FConfig.Device == nullptr)
    FConfig.Device = &DefaultSimDevice();
  if (FConfig.FlashKb == 0 || FConfig.FlashKb % 2 != 0 || FConfig.FlashKb > 512)
    throw std::invalid_argument("flash size must be an even number of KB up to 512");
  if (FConfig.SramKb == 0 || FConfig.SramKb > 256)
    throw std::invalid_argument("SRAM size must be 1 to 256 KB");
  if (FConfig.ChainLength == 0 || FConfig.ChipPosition >= FConfig.ChainLength)
    throw std::invalid_argument("the chip must sit on the chain");
  if (FConfig.TckHz == 0)
    throw std::invalid_argument("TCK must not be 0 Hz");
  if (FConfig.TarWrapBytes < 1024 || (FConfig.TarWrapBytes & (FConfig.TarWrapBytes - 1)))
    throw std::invalid_argument("the TAR wrap must be a power of two of at least 1 KB");
  FChip = std::make_unique<TStellarisChip>(FConfig, FFaults, FCounters);
  for (unsigned i = 0; i < FConfig.ChainLength; ++i) {
    if (i == FConfig.ChipPosition)
      FTaps.push_back(std::make_unique<TArmDebugPort>(*FChip, FConfig, FFaults, FCounters));
    else
      FTaps.push_back(std::make_unique<TTap>(kOtherIrLength, 0x1E, kOtherIdcode));
    FChain.Add(*FTaps.back());
  }
}

bool TStellarisSim::ClockBit(bool ATms, bool ATdi) {
  ++FCounters.TckCycles;
  const bool tdo = FChain.Clock(ATms, ATdi);
  return FFaults.TdoStuckHigh ? true : tdo;
}

bool TStellarisSim::Tdo() const {
  return FFaults.TdoStuckHigh ? true : FChain.Tdo();
}

void TStellarisSim::SetTrst(bool AAsserted) {
  if (AAsserted)
    FChain.Reset();
}

void TStellarisSim::SetSrst(bool AAsserted) {
  FChip->SetSrst(AAsserted);
}

uint64_t TStellarisSim::VirtualTimeNs() const {
  const uint64_t tck = FCounters.TckCycles;
  // Split to keep the product inside 64 bits for long runs.
  const uint64_t ns =
      (tck / FConfig.TckHz) * 1000000000ull + (tck % FConfig.TckHz) * 1000000000ull / FConfig.TckHz;
  return ns + FCounters.FlashBusyNs;
}
