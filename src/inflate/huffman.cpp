// Huffman table builder (see huffman.h). Codes are assigned in canonical order, shortest first,
// and stored bit-reversed, since the stream delivers the first code bit as the lowest bit.
#include "inflate/huffman.h"
#include <cstddef>
#include <cstring>
#include "util/memory.h"

// Released tables wait here, one list per width (0..17), for the next build: every dynamic
// block builds dozens of small tables, and a heap call for each costs more than decoding them.
// A spare table's header keeps its width in Bits.
static HuffmanEntry* SpareTables[MaxCodeLength + 2];

// Every dynamic block builds its tables: for small entries that is much of the work.
int BuildHuffmanTables(const uint16_t* lengths, uint32_t n, uint32_t s, const uint16_t* base, const uint8_t* extra,
                       uint32_t extraCount, HuffmanEntry*& root, HuffmanEntry*& chain, uint32_t& lookupBits) {
  if (n > MaxSymbols) return 2;
  // The table that holds the end-of-block code ends exactly where that code ends (below), so
  // peeking a root's worth of bits never reads past the last code of a stream.
  const uint32_t el = n > 256 ? lengths[256] : MaxCodeLength;

  // The small arrays of the build in one record, the most used first: next to the stack
  // pointer they take the shortest addressing (the symbol list v lies beyond them).
  struct {
    uint32_t c[MaxCodeLength + 1];  // codes per length
    uint32_t x[MaxCodeLength + 1];  // offsets in v per length; then, per level, a table's pattern
    uint32_t l[MaxCodeLength];      // per level, the width of its table
    HuffmanEntry* u[MaxCodeLength];  // per level, its table
  } a;
  uint32_t(&c)[MaxCodeLength + 1] = a.c;
  uint32_t(&x)[MaxCodeLength + 1] = a.x;
  uint32_t(&l)[MaxCodeLength] = a.l;
  HuffmanEntry* (&u)[MaxCodeLength] = a.u;
  for (uint32_t& count : c) count = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (lengths[i] > MaxCodeLength) return 2;
    ++c[lengths[i]];
  }
  if (c[0] == n) {
    root = nullptr;
    lookupBits = 0;
    return 0;
  }

  uint32_t minLen = 1, maxLen = MaxCodeLength;
  while (c[minLen] == 0) ++minLen;
  while (c[maxLen] == 0) --maxLen;
  uint32_t bits = lookupBits;  // root, chain and lookupBits are written once, at the end
  if (bits < minLen) bits = minLen;
  if (bits > maxLen) bits = maxLen;

  // Kraft check: y counts the patterns of the current length still free. Whatever is free at
  // the longest length becomes dummy codes (Op 99), which makes every table complete.
  int32_t y = int32_t(1) << minLen;
  for (uint32_t len = minLen; len < maxLen; ++len, y <<= 1)
    if ((y -= int32_t(c[len])) < 0) return 2;
  if ((y -= int32_t(c[maxLen])) < 0) return 2;
  c[maxLen] += uint32_t(y);

  // Symbols sorted by length, ties by symbol number.
  x[1] = 0;
  for (uint32_t len = 1; len < maxLen; ++len) x[len + 1] = x[len] + c[len];
  uint16_t v[MaxSymbols];
  uint32_t used = 0;
  for (uint32_t i = 0; i < n; ++i)
    if (lengths[i] != 0) { v[x[lengths[i]]++] = uint16_t(i); ++used; }

  // Walk the codes in bit-reversed canonical order. Level h has table u[h] of width l[h]; w is
  // the number of bits resolved by the tables above the current one; x[h] is the pattern of
  // the w low bits that leads into table h.
  HuffmanEntry* last = chain;
  uint32_t i = 0, w = 0, z = 0, next = 0;
  int32_t h = -1;
  x[0] = 0;
  for (uint32_t k = minLen; k <= maxLen; ++k) {
    for (uint32_t a = c[k]; a-- > 0;) {
      while (k > w + (h < 0 ? 0 : l[h])) {  // open a table one level deeper
        w += h < 0 ? 0 : l[h];
        ++h;
        z = maxLen - w < bits ? maxLen - w : bits;
        uint32_t j = k - w;
        uint32_t f = uint32_t(1) << j;
        if (f > a + 1) {
          // The codes of length k cannot fill a j-bit table: widen it while the following
          // lengths would leave part of it empty. j grows once before the first test against
          // z, so a table can end one bit wider than z; the caller gets the width back.
          f -= a + 1;
          ++j;
          for (uint32_t len = k + 1; j < z; ++len, ++j) {
            f <<= 1;
            if (f <= c[len]) break;
            f -= c[len];
          }
        }
        if (w + j > el && w < el) j = el - w;
        z = uint32_t(1) << j;
        l[h] = j;
        HuffmanEntry* block = SpareTables[j];
        if (block != nullptr) SpareTables[j] = block->Next;
        else block = static_cast<HuffmanEntry*>(MemAlloc((z + 1) * sizeof(HuffmanEntry)));
        block->Op = 0;
        block->Bits = uint8_t(j);
        block->Value = 0;
        block->Next = last;
        last = block + 1;
        u[h] = block + 1;
        if (h > 0) {
          x[h] = i;
          HuffmanEntry link;
          link.Op = uint8_t(OpLinkBase + j);
          link.Bits = uint8_t(l[h - 1]);
          link.Value = 0;
          link.Next = u[h];
          u[h - 1][(i & ((uint32_t(1) << w) - 1)) >> (w - l[h - 1])] = link;
        }
      }

      HuffmanEntry r;  // Next stays unwritten: only links are followed through it
      r.Bits = uint8_t(k - w);
      r.Value = 0;
      if (next >= used) {
        r.Op = OpInvalid;  // a dummy code: the pattern has no symbol
      } else {
        const uint32_t sym = v[next++];
        if (sym < s) {
          r.Op = sym < 256 ? OpLiteral : OpEndOfBlock;
          r.Value = uint16_t(sym);
        } else if (sym - s < extraCount) {
          r.Op = extra[sym - s];
          r.Value = base[sym - s];
        } else {
          r.Op = OpInvalid;
        }
      }
      const uint32_t step = uint32_t(1) << (k - w);
      // Op, Bits and Value in one 32-bit store per entry: filling the roots is much of the
      // work of a small block.
      static_assert(offsetof(HuffmanEntry, Value) == 2, "Op, Bits and Value are the first 4 bytes");
      for (uint32_t j = i >> w; j < z; j += step) memcpy(&u[h][j], &r, 4);

      // Next code of length k, counting in bit-reversed order.
      uint32_t bit = uint32_t(1) << (k - 1);
      while (i & bit) { i ^= bit; bit >>= 1; }
      i ^= bit;
      // Leave the tables this code finished.
      while ((i & ((uint32_t(1) << w) - 1)) != x[h]) {
        --h;
        w -= l[h];
      }
    }
  }
  root = u[0];  // the first table opened, at level 0
  chain = last;
  lookupBits = l[0];
  return (y != 0 && maxLen != 1) ? 1 : 0;
}

void ReleaseSpareTables() {
  for (HuffmanEntry*& list : SpareTables) {
    while (list != nullptr) {
      HuffmanEntry* const header = list;
      list = header->Next;
      MemFree(header);
    }
  }
}

int FreeHuffmanTables(HuffmanEntry* table) {
  while (table != nullptr) {
    HuffmanEntry* header = table - 1;
    table = header->Next;
    header->Next = SpareTables[header->Bits];
    SpareTables[header->Bits] = header;
  }
  return 0;
}
