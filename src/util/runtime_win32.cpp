// The few C library routines the compiler may call on its own; the stub links no C run-time.
#include <cstddef>
#include <cstdint>

extern "C" {
// Whole words, then the odd bytes: short in code, fast on real processors, and a quarter of
// the steps of a byte-wise string instruction under emulation, which takes one step per element.
void* memcpy(void* dest, const void* src, size_t n) {
  void* d = dest;
  size_t words = n >> 2;
  __asm__ volatile("rep movsl" : "+D"(d), "+S"(src), "+c"(words) : : "memory");
  n &= 3;
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(src), "+c"(n) : : "memory");
  return dest;
}

// Forward unless the destination starts inside the source.
void* memmove(void* dest, const void* src, size_t n) {
  auto* d = static_cast<unsigned char*>(dest);
  auto* s = static_cast<const unsigned char*>(src);
  if (size_t(d - s) >= n) return memcpy(dest, src, n);
  while (n--) d[n] = s[n];
  return dest;
}

void* memset(void* dest, int c, size_t n) {
  void* d = dest;
  size_t words = n >> 2;
  __asm__ volatile("rep stosl" : "+D"(d), "+c"(words) : "a"(uint8_t(c) * 0x01010101u) : "memory");
  n &= 3;
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(c) : "memory");
  return dest;
}

// Counting loops such as ZStrLength's become calls to it.
size_t strlen(const char* s) {
  const char* p = s;
  while (*p != 0) ++p;
  return size_t(p - s);
}

int memcmp(const void* a, const void* b, size_t n) {
  auto* x = static_cast<const unsigned char*>(a);
  auto* y = static_cast<const unsigned char*>(b);
  for (; n--; ++x, ++y)
    if (*x != *y) return *x < *y ? -1 : 1;
  return 0;
}
}
