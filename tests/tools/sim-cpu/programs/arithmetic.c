/* Integer arithmetic: add/sub with carries (64-bit), shifts and rotates,
   multiplies (32 and 64-bit, signed and unsigned), divides, clamps that
   become IT blocks. */
#include <stdint.h>

volatile uint32_t out[32];
static uint32_t seed = 12345;

static uint32_t Next(void) {
  seed = seed * 1103515245u + 12345u;
  return seed ^ (seed >> 15);
}

__attribute__((noinline)) static int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

int main(void) {
  uint32_t acc = 0;
  uint64_t wide = 0;
  int64_t swide = 0;
  int32_t s = 0;
  for (int i = 0; i < 300; ++i) {
    const uint32_t a = Next(), b = Next() >> (i & 31);
    acc += a ^ (b << 3);
    acc = (acc >> 7) | (acc << 25);
    wide += (uint64_t)a * b;
    swide -= (int64_t)(int32_t)a * (int32_t)b;
    s += (int32_t)a / (int32_t)(b | 1);
    acc += a / (b | 1);
    acc += b ? a % b : 0;
    out[i & 15] += (uint32_t)Clamp((int32_t)a >> 20, -300, 300);
    if ((int32_t)a < 0)
      acc ^= 0x5555;
    else
      acc -= 3;
    acc += (uint32_t)__builtin_clz(a | 1);
    s = s > 0 ? s - (int32_t)(a & 0xFF) : s + 7;
    wide = (wide << (b & 7)) | (wide >> 61);
    acc += (uint32_t)((int32_t)a >> (b & 31)) + (a >> (b & 31)) + (a << (b & 15));
    acc += a > b ? a - b : b - a;
    acc += (int32_t)a < (int32_t)b ? 1u : 2u;
  }
  out[16] = acc;
  out[17] = (uint32_t)wide;
  out[18] = (uint32_t)(wide >> 32);
  out[19] = (uint32_t)s;
  out[20] = __builtin_bswap32(acc);
  out[21] = (uint32_t)swide;
  out[22] = (uint32_t)((uint64_t)swide >> 32);
  return 0;
}
