/* Loads and stores: bytes and halfwords signed and unsigned, struct copies
   (LDM/STM), unaligned packed fields, the stack through recursion, jump
   tables (TBB/TBH) and calls through pointers (BLX). */
#include <stdint.h>

struct TBig {
  uint32_t w[9];
};
struct __attribute__((packed)) TPacked {
  uint8_t c;
  uint32_t w;
  uint16_t h;
};

volatile uint32_t out[32];
struct TBig big[4];
struct TPacked packed[8];
int8_t sb[64];
int16_t sh[64];
uint8_t ub[64];
uint16_t uh[64];
volatile int which;

static int Fib(int n) { return n < 2 ? n : Fib(n - 1) + Fib(n - 2); }
static uint32_t OpAdd(uint32_t a, uint32_t b) { return a + b; }
static uint32_t OpSub(uint32_t a, uint32_t b) { return a - b; }
static uint32_t OpXor(uint32_t a, uint32_t b) { return a ^ b; }
static uint32_t OpMul(uint32_t a, uint32_t b) { return a * b + 1; }
static uint32_t (*const ops[4])(uint32_t, uint32_t) = {OpAdd, OpSub, OpXor, OpMul};

__attribute__((noinline)) static uint32_t Small(uint32_t v) {
  switch (v % 12) {
  case 0: return 3;
  case 1: return v * 7;
  case 2: return v ^ 0x55;
  case 3: return v >> 3;
  case 4: return v + 100;
  case 5: return ~v;
  case 6: return v << 2;
  case 7: return v - 9;
  case 8: return v | 0x80;
  case 9: return v & 0xF0F0;
  case 10: return v * v;
  default: return 0;
  }
}

__attribute__((noinline)) static uint32_t Large(uint32_t v) {
  uint32_t r = v;
  switch (v % 10) {
  case 0: for (int i = 0; i < 40; ++i) r = r * 31 + (uint32_t)i; break;
  case 1: for (int i = 0; i < 30; ++i) r ^= r << 5 ^ (r >> 3); break;
  case 2: r = Fib((int)(v & 7)); break;
  case 3: for (int i = 0; i < 20; ++i) r += (uint32_t)sb[i] * (uint32_t)sh[i]; break;
  case 4: r = packed[v & 7].w; break;
  case 5: r = big[v & 3].w[v % 9]; break;
  case 6: for (int i = 0; i < 50; ++i) r = (r >> 1) ^ (-(r & 1) & 0xEDB88320u); break;
  case 7: r = ub[v & 63] + uh[v & 63]; break;
  case 8: r = (uint32_t)sh[v & 63] * 3; break;
  default: r = 1; break;
  }
  return r;
}

int main(void) {
  uint32_t acc = 1;
  for (int i = 0; i < 64; ++i) {
    sb[i] = (int8_t)(i * 37 - 100);
    sh[i] = (int16_t)(i * 1234 - 30000);
    ub[i] = (uint8_t)(i * 91);
    uh[i] = (uint16_t)(i * 4567);
  }
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 9; ++j)
      big[i].w[j] = (uint32_t)(i * 100 + j * 7);
  for (int i = 0; i < 8; ++i) {
    packed[i].c = (uint8_t)i;
    packed[i].w = 0x01020304u * (uint32_t)(i + 1);
    packed[i].h = (uint16_t)(0x1111 * i);
  }
  for (int round = 0; round < 6; ++round) {
    struct TBig copy = big[round & 3];
    copy.w[round] += acc;
    big[(round + 1) & 3] = copy;
    for (int i = 0; i < 64; ++i)
      acc += (uint32_t)sb[i] + (uint32_t)sh[(i * 7) & 63] + ub[(i * 3) & 63] + uh[i];
    for (int i = 0; i < 8; ++i) {
      packed[i].w += acc;
      packed[i].h ^= (uint16_t)acc;
      acc += packed[(i + 3) & 7].w + packed[i].h;
    }
    for (uint32_t v = 0; v < 40; ++v)
      acc += Small(v + acc) + Large(v * 13 + (uint32_t)round);
    which = round;
    acc = ops[which & 3](acc, (uint32_t)round * 77);
    acc += (uint32_t)Fib(10 + round % 3);
  }
  out[0] = acc;
  return 0;
}
