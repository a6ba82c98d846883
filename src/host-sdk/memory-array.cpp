#include "memory-array.h"

#include <algorithm>

PMemoryArray AllocMemoryArray(std::size_t ACount) {
  // A zero count still gives a distinct block, so the caller can free it.
  return new std::uint32_t[ACount ? ACount : 1]();
}

void FreeMemoryArray(PMemoryArray ABlock) {
  delete[] ABlock;
}

void ClearMemoryArray(PMemoryArray AArray) {
  if (AArray)
    std::fill_n(AArray, MemoryArrayLength, 0u);
}
