// Little-endian appenders for the byte vectors in which zelvix-pack lays out archive records
// and PE resources.
#pragma once
#include <cstdint>
#include <vector>

inline void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, uint16_t(v));
  Put16(b, uint16_t(v >> 16));
}
