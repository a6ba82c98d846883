#pragma once

#include <cstdint>

// The simulated chip's system bus as the execution core sees it. Sizes are
// 1, 2 or 4 bytes; a false answer is a bus fault at that address.
class ISimBus {
public:
  virtual ~ISimBus() = default;
  virtual bool Read(uint32_t AAddress, unsigned ASize, uint32_t& AValue) = 0;
  virtual bool Write(uint32_t AAddress, unsigned ASize, uint32_t AValue) = 0;
};
