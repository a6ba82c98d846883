#pragma once

// Text of the Thumb and Thumb-2 instructions a Cortex-M3 executes
// (ARMv7-M without the DSP extension and floating point), in the usual
// assembler spelling: mnemonic, operands, branch targets as addresses.

#include <cstdint>
#include <string>

struct TThumbText {
  std::string Text;
  unsigned Size = 2; // bytes the instruction takes
};

// Whether a first halfword opens a 32-bit instruction.
inline bool IsThumb32(std::uint16_t AFirst) {
  return (AFirst >> 11) >= 0x1D;
}

// The instruction at AAddress; ASecond is looked at only for a 32-bit
// encoding.
TThumbText DecodeThumb(std::uint32_t AAddress, std::uint16_t AFirst, std::uint16_t ASecond);
