/* Control flow: sorting, CRC, GCD, string scanning, min/max selections
   (IT blocks), atomics (LDREX/STREX), 64-bit compares. */
#include <stdint.h>

volatile uint32_t out[32];
uint32_t values[48];
int32_t signedValues[48];
char text[] = "The quick brown fox jumps over the lazy dog 0123456789";
uint32_t counter;

static uint32_t Crc32(const uint8_t* p, uint32_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  while (n--) {
    crc ^= *p++;
    for (int k = 0; k < 8; ++k)
      crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

static uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b) {
    const uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

int main(void) {
  uint32_t seed = 7;
  for (int i = 0; i < 48; ++i) {
    seed = seed * 69069u + 1;
    values[i] = seed;
    signedValues[i] = (int32_t)(seed ^ (seed >> 7));
  }
  for (int i = 1; i < 48; ++i) {
    const uint32_t v = values[i];
    int j = i - 1;
    while (j >= 0 && values[j] > v) {
      values[j + 1] = values[j];
      --j;
    }
    values[j + 1] = v;
  }
  int32_t lo = signedValues[0], hi = signedValues[0];
  uint32_t g = 0, letters = 0, digits = 0;
  for (int i = 0; i < 48; ++i) {
    lo = signedValues[i] < lo ? signedValues[i] : lo;
    hi = signedValues[i] > hi ? signedValues[i] : hi;
    g += Gcd(values[i] >> 16, (values[(i + 5) % 48] >> 20) + 1);
    __atomic_fetch_add(&counter, values[i] & 0xFF, __ATOMIC_RELAXED);
  }
  for (const char* p = text; *p; ++p) {
    if (*p >= 'a' && *p <= 'z') ++letters;
    else if (*p >= '0' && *p <= '9') digits += (uint32_t)(*p - '0');
  }
  uint64_t big = ((uint64_t)values[3] << 32) | values[4];
  uint64_t other = ((uint64_t)values[40] << 32) | values[2];
  out[0] = Crc32((const uint8_t*)values, sizeof values);
  out[1] = (uint32_t)lo;
  out[2] = (uint32_t)hi;
  out[3] = g;
  out[4] = letters * 1000 + digits;
  out[5] = big < other ? 1 : big == other ? 2 : 3;
  out[6] = counter;
  return 0;
}
