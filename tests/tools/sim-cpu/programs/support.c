/* The few library routines the compiler may call for struct copies and
   initialisation in a freestanding build. */
#include <stddef.h>

void* memcpy(void* ADest, const void* ASource, size_t ACount) {
  unsigned char* d = ADest;
  const unsigned char* s = ASource;
  while (ACount--)
    *d++ = *s++;
  return ADest;
}

void* memset(void* ADest, int AValue, size_t ACount) {
  unsigned char* d = ADest;
  while (ACount--)
    *d++ = (unsigned char)AValue;
  return ADest;
}
