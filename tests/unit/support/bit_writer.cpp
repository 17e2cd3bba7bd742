#include "support/bit_writer.h"

BitWriter& BitWriter::Put(uint32_t value, uint32_t bits) {
  for (uint32_t i = 0; i < bits; ++i, ++bitLength_) {
    if (bitLength_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1) bytes_.back() |= uint8_t(1u << (bitLength_ % 8));
  }
  return *this;
}

BitWriter& BitWriter::Code(uint32_t code, uint32_t bits) {
  for (uint32_t i = bits; i-- > 0;) Put((code >> i) & 1, 1);
  return *this;
}

BitWriter& BitWriter::FixedSymbol(uint32_t s) {
  if (s < 144) return Code(0x30 + s, 8);
  if (s < 256) return Code(0x190 + (s - 144), 9);
  if (s < 280) return Code(s - 256, 7);
  return Code(0xC0 + (s - 280), 8);
}

BitWriter& BitWriter::Align() {
  while (bitLength_ % 8 != 0) Put(0, 1);
  return *this;
}

std::vector<uint8_t> BitWriter::Bytes() const { return bytes_; }

std::vector<uint32_t> CanonicalCodes(const std::vector<uint16_t>& lengths) {
  uint32_t count[17] = {}, next[17] = {};
  for (uint16_t l : lengths) ++count[l];
  count[0] = 0;
  for (uint32_t bits = 1, code = 0; bits <= 16; ++bits) next[bits] = code = (code + count[bits - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (std::size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i]) codes[i] = next[lengths[i]]++;
  return codes;
}
