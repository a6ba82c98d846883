#pragma once

#include <cstddef>
#include <cstdint>

// The buffer of every block memory transfer: 32-bit cells, one data unit per
// cell (a byte value in the low 8 bits for byte-wide memories), addressed by
// cell index. The nominal length is 65536 cells; a buffer may hold more, so
// code walks it through PMemoryArray with its own count.
constexpr std::size_t MemoryArrayLength = 65536;
using TMemoryArray = std::uint32_t[MemoryArrayLength];
using PMemoryArray = std::uint32_t*;

// A zero-filled block of ACount cells, owned by the caller.
PMemoryArray AllocMemoryArray(std::size_t ACount);
void FreeMemoryArray(PMemoryArray ABlock);

// Sets the nominal 65536 cells of a full-size array to 0.
void ClearMemoryArray(PMemoryArray AArray);

// AValue shifted right by 8 x AIndex bits, the shift count taken modulo 32
// (index 4 acts as 0); callers keep the low 8 bits.
inline std::uint32_t ExtractByte(std::uint32_t AIndex, std::uint32_t AValue) {
  return AValue >> ((8 * AIndex) % 32);
}
