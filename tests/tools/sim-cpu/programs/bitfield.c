/* Struct bit-fields (BFI, UBFX, SBFX, BFC), bit tricks (CLZ, RBIT, REV),
   saturation. */
#include <stdint.h>

struct TFields {
  unsigned a : 3;
  signed b : 5;
  unsigned c : 12;
  signed d : 7;
  unsigned e : 5;
};

volatile uint32_t out[32];
struct TFields items[32];
static uint32_t seed = 99;

static uint32_t Next(void) {
  seed ^= seed << 13;
  seed ^= seed >> 17;
  seed ^= seed << 5;
  return seed;
}

static uint32_t ReverseBits(uint32_t v) {
  uint32_t r;
  __asm__("rbit %0, %1" : "=r"(r) : "r"(v));
  return r;
}

static int32_t Saturate8(int32_t v) {
  int32_t r;
  __asm__("ssat %0, #8, %1" : "=r"(r) : "r"(v));
  return r;
}

static uint32_t SaturateUnsigned10(int32_t v) {
  uint32_t r;
  __asm__("usat %0, #10, %1, asr #2" : "=r"(r) : "r"(v));
  return r;
}

int main(void) {
  int32_t sum = 0;
  uint32_t mix = 0;
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 32; ++i) {
      const uint32_t v = Next();
      items[i].a = v;
      items[i].b = (int)(v >> 3);
      items[i].c += v >> 8;
      items[i].d = (int)(v >> 20) - 40;
      items[i].e = items[i].a + items[i].c;
    }
    for (int i = 0; i < 32; ++i) {
      sum += items[i].a + items[i].b * 3 + (int)items[i].c - items[i].d + (int)items[i].e;
      mix ^= ReverseBits((uint32_t)sum) + __builtin_bswap32(mix) + (uint32_t)__builtin_clz(mix | 1);
      sum += Saturate8(sum >> (i & 15)) + (int32_t)SaturateUnsigned10(sum);
      if (items[i].b < 0) items[i].c = 0;
    }
  }
  out[0] = (uint32_t)sum;
  out[1] = mix;
  return 0;
}
