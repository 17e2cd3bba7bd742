// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320): the 256-entry table built at
// start-up and the one-byte step shared by the entry checksum and the decryption keys.
#pragma once
#include <cstdint>

constexpr uint32_t CrcTableBlockSize = 1028;  // 256 entries of 32 bits, in a 1028-byte block
constexpr uint32_t CrcPolynomial = 0xEDB88320;

// Slicing tables for folding sixteen bytes per step: CrcSlices[0] is a copy of CrcTable and
// CrcSlices[j][i] is the register after byte i followed by j zero bytes. Built by BuildCrcTable.
constexpr uint32_t CrcSliceCount = 16;
extern uint32_t CrcSlices[CrcSliceCount][256];

// Two lanes of 16 KB each: CrcLane bytes are folded in two independent registers at once (one
// alone waits on its table lookups), the first then carried over the second lane's length.
// Zero bytes act on the register linearly: CrcSkipLane[i] is the register 1 << i after CrcLane
// zero bytes, and any register's result is the sum of those of its bits.
// The stub folds one lane only: under Wine its 32-bit code gains nothing from the second, whose
// 640 bytes go to the decoder's table building instead.
constexpr uint32_t CrcLane = 16384;
extern uint32_t CrcSkipLane[32];
#ifdef ZELVIX_ONE_CRC_LANE
constexpr bool CrcTwoLanes = false;
#else
constexpr bool CrcTwoLanes = true;
#endif

// Fills the 256 entries of the block CrcTable points to, CrcSlices and CrcSkipLane.
void BuildCrcTable();

// The register after one more byte: table[(crc ^ b) & 0xFF] ^ (crc >> 8).
uint32_t CrcStep(uint8_t b, uint32_t crc);
