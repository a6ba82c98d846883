#pragma once

#include "bus.h"

#include <cstdint>
#include <vector>

// A bus of two zero-filled memories: code at 0 and SRAM at 0x20000000, as on
// the chip. Anything else is a bus error, and every access is recorded as
// naturally aligned (the core splits unaligned ones).
class TRamBus : public ISimBus {
public:
  static constexpr uint32_t kCodeBase = 0x00000000, kRamBase = 0x20000000, kSize = 0x10000;

  TRamBus() : FCode(kSize), FRam(kSize) {}

  bool Read(uint32_t AAddress, unsigned ASize, uint32_t& AValue) override {
    uint8_t* bytes = Locate(AAddress, ASize);
    if (!bytes)
      return false;
    AValue = 0;
    for (unsigned i = 0; i < ASize; ++i)
      AValue |= uint32_t(bytes[i]) << (8 * i);
    return true;
  }
  bool Write(uint32_t AAddress, unsigned ASize, uint32_t AValue) override {
    uint8_t* bytes = Locate(AAddress, ASize);
    if (!bytes)
      return false;
    for (unsigned i = 0; i < ASize; ++i)
      bytes[i] = uint8_t(AValue >> (8 * i));
    return true;
  }

  uint8_t* Locate(uint32_t AAddress, unsigned ASize) {
    if ((AAddress & (ASize - 1)) != 0) {
      FSawUnaligned = true;
      return nullptr;
    }
    if (AAddress - kCodeBase <= kSize - ASize)
      return &FCode[AAddress - kCodeBase];
    if (AAddress - kRamBase <= kSize - ASize)
      return &FRam[AAddress - kRamBase];
    return nullptr;
  }

  uint32_t Word(uint32_t AAddress) {
    uint32_t value = 0;
    Read(AAddress, 4, value);
    return value;
  }
  void SetWord(uint32_t AAddress, uint32_t AValue) { Write(AAddress, 4, AValue); }

  std::vector<uint8_t> FCode, FRam;
  bool FSawUnaligned = false;
};
