#include "host-scan-target.h"

std::string BitsOf(uint64_t AValue, unsigned ACount) {
  std::string bits(ACount, '0');
  for (unsigned i = 0; i < ACount; ++i)
    if ((AValue >> i) & 1) bits[ACount - 1 - i] = '1';
  return bits;
}

uint64_t ValueOfBits(const std::string& ABits) {
  uint64_t v = 0;
  for (char c : ABits) v = (v << 1) | (c == '1' ? 1 : 0);
  return v;
}
