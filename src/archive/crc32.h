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

// Fills the 256 entries of the block CrcTable points to, and CrcSlices.
void BuildCrcTable();

// The register after one more byte: table[(crc ^ b) & 0xFF] ^ (crc >> 8).
uint32_t CrcStep(uint8_t b, uint32_t crc);
