// Explicit little-endian loads and stores for bytes read from archives and packages.
#pragma once
#include <cstdint>

// Always inlined: the byte form only becomes one load once inlined, which -Oz, costing it as
// the shifts it is written with, would not do on its own (a call per field instead).
__attribute__((always_inline)) inline uint16_t LoadLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
__attribute__((always_inline)) inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void StoreLE16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}

// Whether the four bytes at p are "PK\3\4", the signature of a ZIP local header. The stub's own
// image must never hold those bytes: at a multiple of 256 they would be taken for the start of
// an attached archive. So the bytes are compared one above each, through a value the compiler
// cannot see into (a plain comparison becomes an instruction that holds the signature).
inline bool IsLocalHeaderSignature(const uint8_t* p) {
  uint32_t raised = LoadLE32(p) + 0x01010101;
  asm("" : "+r"(raised));
  return raised == 0x05044C51;  // "QL\4\5"
}
