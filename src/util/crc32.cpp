// CRC-32 tables and folds (see crc32.h).
#include "util/crc32.h"
#include <cstring>

uint32_t CrcSlices[CrcSliceCount][256];
uint32_t CrcSkipLane[32];

void BuildCrcTable() {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ CrcPolynomial : v >> 1;
    CrcSlices[0][i] = v;
  }
  // One more zero byte after the bytes of slice j - 1: a plain table step of that register.
  for (uint32_t j = 1; j < CrcSliceCount; ++j)
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t v = CrcSlices[j - 1][i];
      CrcSlices[j][i] = CrcSlices[0][v & 0xFF] ^ (v >> 8);
    }
  // Each single bit carried over the lane's length, sixteen zero bytes per slice step.
  for (uint32_t bit = 0; CrcTwoLanes && bit < 32; ++bit) {
    uint32_t v = 1u << bit;
    for (uint32_t n = 0; n < CrcLane / 16; ++n)
      v = CrcSlices[15][v & 0xFF] ^ CrcSlices[14][(v >> 8) & 0xFF] ^ CrcSlices[13][(v >> 16) & 0xFF] ^
          CrcSlices[12][v >> 24];
    CrcSkipLane[bit] = v;
  }
}

namespace {
ZELVIX_INLINE uint32_t LoadWord(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}
// The four slice lookups of one 32-bit word whose last byte has `after` bytes following it.
ZELVIX_INLINE uint32_t FoldWord(uint32_t v, uint32_t after) {
  return CrcSlices[after + 3][v & 0xFF] ^ CrcSlices[after + 2][(v >> 8) & 0xFF] ^
         CrcSlices[after + 1][(v >> 16) & 0xFF] ^ CrcSlices[after][v >> 24];
}
// Sixteen bytes per step: the register meets the first four, and each byte is looked up in
// the slice that accounts for the bytes still following it in the group.
ZELVIX_INLINE uint32_t Fold16(const uint8_t* data, uint32_t c) {
  return FoldWord(LoadWord(data) ^ c, 12) ^ FoldWord(LoadWord(data + 4), 8) ^ FoldWord(LoadWord(data + 8), 4) ^
         FoldWord(LoadWord(data + 12), 0);
}
// What is left after the lanes: sixteen bytes per step, then byte by byte.
ZELVIX_INLINE uint32_t FoldRest(const uint8_t* data, int32_t count, uint32_t c) {
  for (; count >= 16; count -= 16, data += 16) c = Fold16(data, c);
  for (; count > 0; --count) c = CrcSlices[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return c;
}
}  // namespace

void UpdateCrcOneLane(const uint8_t* data, int32_t count, uint32_t& crc) { crc = FoldRest(data, count, crc); }

void UpdateCrcTwoLanes(const uint8_t* data, int32_t count, uint32_t& crc) {
  uint32_t c = crc;
  // Two lanes at a time (a whole window is two): the first from the register so far, the
  // second from zero, joined as the first carried over the second's length.
  for (; count >= int32_t(2 * CrcLane); count -= 2 * CrcLane, data += 2 * CrcLane) {
    uint32_t second = 0;
    for (uint32_t at = 0; at < CrcLane; at += 16) {
      c = Fold16(data + at, c);
      second = Fold16(data + CrcLane + at, second);
    }
    for (uint32_t bit = 0; bit < 32; ++bit)
      if ((c >> bit) & 1) second ^= CrcSkipLane[bit];
    c = second;
  }
  crc = FoldRest(data, count, c);
}
