#include "host-scan-target.h"

std::string BitsOf(uint64_t AValue, unsigned ACount) {
  std::string bits;
  BitsInto(AValue, ACount, bits);
  return bits;
}

void BitsInto(uint64_t AValue, unsigned ACount, std::string& ABits) {
  ABits.resize(ACount);
  for (unsigned i = 0; i < ACount; ++i)
    ABits[ACount - 1 - i] = char('0' | ((AValue >> i) & 1));
}

uint64_t ValueOfBits(const std::string& ABits) {
  uint64_t v = 0;
  for (char c : ABits) v = (v << 1) | (c == '1' ? 1 : 0);
  return v;
}
