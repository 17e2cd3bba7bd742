// Writes deflate bit streams field by field for hand-made test inputs: values go in least
// significant bit first, Huffman codes most significant bit first (RFC 1951, 3.1.1).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
public:
  // Appends the low `bits` bits of value, lowest first.
  BitWriter& Put(uint32_t value, uint32_t bits);
  // Appends a Huffman code of `bits` bits, its first (most significant) bit first.
  BitWriter& Code(uint32_t code, uint32_t bits);
  // Fixed-code literal/length symbol 0..287 and fixed distance symbol 0..31.
  BitWriter& FixedSymbol(uint32_t symbol);
  BitWriter& FixedDistance(uint32_t symbol) { return Code(symbol, 5); }
  // Pads with zero bits to the next byte boundary.
  BitWriter& Align();
  BitWriter& Byte(uint8_t b) { return Put(b, 8); }
  std::vector<uint8_t> Bytes() const;
  uint32_t BitLength() const { return bitLength_; }

private:
  std::vector<uint8_t> bytes_;
  uint32_t bitLength_ = 0;
};

// The canonical Huffman codes (RFC 1951, 3.2.2; first bit = most significant) for a list of
// code lengths; 0 for unused symbols.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint16_t>& lengths);
