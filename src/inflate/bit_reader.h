// The inflater's state for one entry: the bit reader over the entry's input chunks and the
// position in its 32 KB output window. Used by inflate.cpp; built by Inflate for each entry.
#pragma once
#include <cstdint>
#include "codec/entry_io.h"

constexpr uint32_t WindowSize = 32768;  // the sliding window, a ring flushed at each wrap

struct HuffmanEntry;

struct Inflater {
  Inflater(EntryInput& input, EntryOutput& output) : in(input), out(output) {}
  EntryInput& in;
  EntryOutput& out;          // its window is the ring (WindowSize bytes)
  uint32_t bitBuffer = 0;    // bits not yet consumed; the next bit of the stream is bit 0
  uint32_t bitCount = 0;     // valid bits in bitBuffer (at most 31)
  uint32_t windowPos = 0;    // next write position in the window
  // Whether every byte of the window has been written or cleared in this entry: until the
  // window has been filled once, the part not yet written is cleared only when a distance
  // reaches into it, by ClearWindowFrom (the first position not yet written).
  bool windowDefined = false;
  // One-bits supplied after the entry's data ran out (8 per NextInputByte result of -1). A
  // decoder that holds k bits has consumed bits past the data exactly when k < fillBits.
  uint32_t fillBits = 0;
  // Set when the data ended inside a block: that block ends as with an invalid code, and the
  // entry ends after it.
  bool overrun = false;
  // Set when a block held what no sound stream holds (an invalid code, an abandoned code
  // table): that block ends there, and decoding goes on with the next one.
  bool invalid = false;
  // Fixed-code tables, built at the entry's first fixed block and used by its later ones (root
  // widths 7 and 5), released when the entry ends; fixedChain links both for the release.
  const HuffmanEntry* fixedLiteral = nullptr;
  const HuffmanEntry* fixedDistance = nullptr;
  HuffmanEntry* fixedChain = nullptr;
};

// MaskBits[n] = 2^n - 1 for n = 0..16: a field of width n is bits & MaskBits[n].
extern const uint16_t MaskBits[17];

// Appends bytes of the input above the held bits until count >= n (n <= 24). Past the end of
// the data each byte reads as 0xFF, so the stream continues as one-bits; fillBits counts them.
void NeedBits(Inflater& z, uint32_t n, uint32_t& bits, uint32_t& count);

// Drops the n lowest bits.
inline void DumpBits(uint32_t n, uint32_t& bits, uint32_t& count) {
  bits >>= n;
  count -= n;
}

// Clears the window from position to its end, and marks it defined.
void ClearWindowFrom(Inflater& z, uint32_t position);
