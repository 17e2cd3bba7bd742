// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320): slicing tables built once at
// start-up, the fold that checks every entry's output and the one-byte step that the
// traditional cipher's keys run on. Below the codecs, which fold what they write.
#pragma once
#include <cstdint>
#include "util/speed.h"

constexpr uint32_t CrcPolynomial = 0xEDB88320;

// Slicing tables for folding sixteen bytes per step: CrcSlices[0] is the byte table and
// CrcSlices[j][i] is the register after byte i followed by j zero bytes.
constexpr uint32_t CrcSliceCount = 16;
extern uint32_t CrcSlices[CrcSliceCount][256];

// Two lanes of 16 KB each: CrcLane bytes are folded in two independent registers at once, the
// first then carried over the second lane's length. Zero bytes act on the register linearly:
// CrcSkipLane[i] is the register 1 << i after CrcLane zero bytes, and any register's result is
// the sum of those of its bits. Built only where the build folds two lanes (util/speed.h).
constexpr uint32_t CrcLane = 16384;
extern uint32_t CrcSkipLane[32];

// Fills CrcSlices (and CrcSkipLane for the two-lane fold). Start-up calls it once, before the
// archive is located; tests call it before they fold. The tables are read-only afterwards.
void BuildCrcTable();

// The register after one more byte: CrcSlices[0][(crc ^ b) & 0xFF] ^ (crc >> 8).
inline uint32_t CrcStep(uint8_t b, uint32_t crc) { return CrcSlices[0][(crc ^ b) & 0xFF] ^ (crc >> 8); }

// Folds count bytes into the CRC-32 register crc (no preset, no complement); count <= 0 does
// nothing. Both folds give the same register; UpdateCrc is the one the build ships.
void UpdateCrcOneLane(const uint8_t* data, int32_t count, uint32_t& crc);
void UpdateCrcTwoLanes(const uint8_t* data, int32_t count, uint32_t& crc);
inline void UpdateCrc(const uint8_t* data, int32_t count, uint32_t& crc) {
  if (CrcTwoLanes) UpdateCrcTwoLanes(data, count, crc);
  else UpdateCrcOneLane(data, count, crc);
}
