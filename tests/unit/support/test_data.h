// Deterministic test inputs of several kinds, and zlib as the reference compressor.
#pragma once
#include <cstdint>
#include <vector>
#include "support/entry_runner.h"

enum class DataKind { Text, Binary, Random, LongRuns, Distance1Runs, Mixed };
constexpr DataKind AllDataKinds[] = {DataKind::Text,     DataKind::Binary,        DataKind::Random,
                                     DataKind::LongRuns, DataKind::Distance1Runs, DataKind::Mixed};

// A small xorshift generator: the same seed gives the same bytes everywhere.
struct TestRandom {
  explicit TestRandom(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return uint32_t(state >> 11);
  }
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : Next() % n; }
  uint64_t state;
};

Bytes MakeData(DataKind kind, size_t size, uint64_t seed);

// Raw deflate (no zlib header) of data at the given level and strategy.
Bytes ZlibDeflate(const Bytes& data, int level, int strategy);
// zlib's raw inflate; false unless it reaches the end of the stream.
bool ZlibInflate(const Bytes& compressed, Bytes& out);
