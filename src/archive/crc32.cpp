// CRC-32 table and byte step. Start-up allocates the table block and calls BuildCrcTable once,
// before the archive is located; the table is read-only afterwards.
#include "archive/crc32.h"
#include "app/state.h"

uint32_t CrcSlices[CrcSliceCount][256];
uint32_t CrcSkipLane[32];

void BuildCrcTable() {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ CrcPolynomial : v >> 1;
    CrcTable[i] = v;
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

uint32_t CrcStep(uint8_t b, uint32_t crc) {
  return CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
}
