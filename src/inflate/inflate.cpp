// Inflate block decoder (see inflate.h): stored, fixed and dynamic blocks, through the bit
// reader and window of bit_reader.h and the tables of huffman.h.
#include "inflate/inflate.h"
#include <cstring>
#include "app/state.h"
#include "inflate/bit_reader.h"
#include "util/memory.h"

// Literal/length symbols 257..285, then 286 and 287 (invalid: extra 99).
const uint16_t LengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint8_t LengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
// Distance symbols 0..29; 30 and 31 lie beyond the tables and become invalid codes.
const uint16_t DistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t CodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

HuffmanEntry* FixedLiteralTable;
HuffmanEntry* FixedDistanceTable;
HuffmanEntry* FixedChain;

namespace {

constexpr uint32_t WindowMask = WindowSize - 1;

// Brings InputPos and CompressedLeft up to date with a decoder's local input pointer.
inline void SyncInput(const uint8_t* in) {
  const uint16_t pos = uint16_t(in - InputBuffer);
  CompressedLeft -= int32_t(pos) - int32_t(InputPos);
  InputPos = pos;
}

// The slow half of Need, near a chunk's end: NeedBits takes the bytes left in the chunk one at
// a time, then refills it, and past the data supplies one-bits. False once bits past the data
// have been consumed: the caller ends its block.
__attribute__((noinline)) bool RefillSlow(uint32_t n, uint32_t& b, uint32_t& k, const uint8_t*& in,
                                          const uint8_t*& end) {
  SyncInput(in);
  if (k < FillBits) {
    InputOverrun = true;
    return false;
  }
  uint16_t count = uint16_t(k);
  NeedBits(n, b, count);
  k = count;
  in = InputBuffer + InputPos;
  end = InputBuffer + InputCount;
  return true;
}

// The decoding loop's helpers are inlined even in the stub, which is otherwise built for size:
// a call per code costs more than the bytes they add.
#define ZELVIX_HOT __attribute__((always_inline)) inline

inline uint32_t Load4(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// NeedBits on a block decoder's locals: the same bits in the same order. While four bytes are
// buffered, whole bytes are added at once until k is 24 or more (the bits beyond n wait in the
// buffer for the next code, as the bytes beyond k do: a stored block takes them from there);
// near the chunk's end one byte at a time, only while k < n. n is at most 24 everywhere.
ZELVIX_HOT bool Need(uint32_t n, uint32_t& b, uint32_t& k, const uint8_t*& in, const uint8_t*& end) {
  if (k >= n) return true;
  if (end - in >= 4) {
    b |= Load4(in) << k;
    in += (31 - k) >> 3;
    k |= 24;
    return true;
  }
  uint32_t tb = b, tk = k;  // copies, so that the caller's locals can stay in registers
  const uint8_t *ti = in, *te = end;
  const bool ok = RefillSlow(n, tb, tk, ti, te);
  b = tb;
  k = tk;
  in = ti;
  end = te;
  return ok;
}

// Follows the links of a code longer than its root table into the sub-tables. Such codes are
// the rare ones, so this stays out of the decoding loop. Returns the symbol's entry (its bits
// not yet dropped), or null for an invalid code or data ending inside the block.
__attribute__((noinline)) const HuffmanEntry* FollowLinksSlow(const HuffmanEntry* t, uint32_t& b, uint32_t& k,
                                                              const uint8_t*& in, const uint8_t*& end) {
  for (uint32_t e = t->Op; e > OpLiteral; e = t->Op) {
    if (e == OpInvalid) return nullptr;
    b >>= t->Bits;
    k -= t->Bits;
    e -= OpLinkBase;
    if (!Need(e, b, k, in, end)) return nullptr;
    t = t->Next + (b & MaskBits[e]);
  }
  return t;
}

ZELVIX_HOT const HuffmanEntry* FollowLinks(const HuffmanEntry* t, uint32_t& b, uint32_t& k, const uint8_t*& in,
                                           const uint8_t*& end) {
  uint32_t tb = b, tk = k;  // copies, as in Need
  const uint8_t *ti = in, *te = end;
  t = FollowLinksSlow(t, tb, tk, ti, te);
  b = tb;
  k = tk;
  in = ti;
  end = te;
  return t;
}

inline void Store4(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

// Copies n bytes forward with the result of a byte-by-byte copy: where the source is fewer
// than n bytes behind the destination, the last (dst - src) bytes repeat. Never writes outside
// dst[0..n-1], since the ring bytes beyond are history that later distances may still reach.
// Four bytes per step in registers, even on 32-bit x86: under Wine that beats a library call
// at every match length; long runs of one byte go to memset.
ZELVIX_HOT void CopyRun(uint8_t* dst, const uint8_t* src, uint32_t n) {
  const uint32_t behind = uint32_t(dst - src), ahead = uint32_t(src - dst);  // one of them wraps
  if (n >= 4 && behind >= 4 && ahead >= n) {
    // Each step reads only bytes written before it (or history before dst); the last step
    // ends exactly at dst + n and rewrites a few bytes with the values they already hold.
    uint32_t done = 0;
    for (; n - done > 4; done += 4) Store4(dst + done, Load4(src + done));
    Store4(dst + n - 4, Load4(src + n - 4));
  } else if (n > 32 && behind == 1) {
    memset(dst, *src, n);
  } else {  // short, a distance below 4, or a source ahead in the ring that overlaps (rare)
    for (uint32_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

// NeedBits n, the n-bit field, DumpBits n: the header fields of all three block types.
__attribute__((noinline)) uint32_t TakeBits(uint32_t n, uint32_t& b, uint16_t& k) {
  NeedBits(n, b, k);
  const uint32_t v = b & MaskBits[n];
  DumpBits(n, b, k);
  return v;
}

// Releases the fixed-code tables of an entry however its decoding ends. Their blocks join the
// spare tables, which later entries take again (a heap call per table and entry costs small
// entries a few per cent under Wine).
struct FixedCacheGuard {
  FixedCacheGuard() { FixedLiteralTable = FixedDistanceTable = FixedChain = nullptr; }
  ~FixedCacheGuard() {
    FreeHuffmanTables(FixedChain);
    FixedLiteralTable = FixedDistanceTable = FixedChain = nullptr;
  }
};

}  // namespace

// The loop that every compressed byte goes through (in the stub, for about 500 bytes: 7% faster
// in total under Wine, 10% on small text files).
ZELVIX_FAST int DecodeCodes(const HuffmanEntry* tl, const HuffmanEntry* td, uint32_t bl, uint32_t bd) {
  uint32_t b = BitBuffer, k = BitCount, w = WindowPos;
  uint8_t* const win = Window;
  const uint8_t* in = InputBuffer + InputPos;
  const uint8_t* end = InputBuffer + InputCount;
  const uint32_t ml = MaskBits[bl], md = MaskBits[bd];

  for (;;) {
    if (!Need(bl, b, k, in, end)) goto invalid;
    const HuffmanEntry* t = tl + (b & ml);
    uint32_t e = t->Op;
    if (e > OpLiteral) {  // a link, or a pattern no symbol owns
      t = FollowLinks(t, b, k, in, end);
      if (t == nullptr) goto invalid;
      e = t->Op;
    }
    b >>= t->Bits;
    k -= t->Bits;
    if (e == OpLiteral) {
      win[w++] = uint8_t(t->Value);
      if (w == WindowSize) {
        FlushWindow(WindowSize);
        w = 0;
      }
      continue;
    }
    if (e == OpEndOfBlock) break;

    // A length: base plus e extra bits (0..5), at most 258; then its distance, whose root
    // lookup is taken from the same refill. A block whose distance code is empty may hold
    // literals only.
    if (td == nullptr) goto invalid;
    if (!Need(e + bd, b, k, in, end)) goto invalid;
    uint32_t len = t->Value + (b & MaskBits[e]);
    b >>= e;
    k -= e;
    t = td + (b & md);
    e = t->Op;
    if (e > OpLiteral) {  // distance symbols 30 and 31 and unowned patterns are invalid
      t = FollowLinks(t, b, k, in, end);
      if (t == nullptr) goto invalid;
      e = t->Op;
    }
    b >>= t->Bits;
    k -= t->Bits;
    if (!Need(e, b, k, in, end)) goto invalid;
    const uint32_t distance = t->Value + (b & MaskBits[e]);
    b >>= e;
    k -= e;
    if (distance <= w && len < WindowSize - w) {  // the common case: no wrap, no flush
      CopyRun(win + w, win + w - distance, len);
      w += len;
      continue;
    }
    // The source position in the 32 KB ring. A distance reaching before the entry's first byte
    // reads zeros: the mask keeps it inside the window, which is cleared beyond what the entry
    // has written the first time that happens (clearing it at every entry's start would cost
    // small entries a fifth of their time).
    uint32_t d = w - distance;
    if (d > w && !WindowDefined) ClearWindowFrom(w);

    // Copy in pieces that keep source and destination inside the ring.
    do {
      d &= WindowMask;
      uint32_t piece = WindowSize - (d > w ? d : w);
      if (piece > len) piece = len;
      len -= piece;
      CopyRun(win + w, win + d, piece);
      w += piece;
      d += piece;
      if (w == WindowSize) {
        FlushWindow(WindowSize);
        w = 0;
      }
    } while (len > 0);
  }

  SyncInput(in);
  BitBuffer = b;
  BitCount = uint16_t(k);
  WindowPos = uint16_t(w);
  return 0;

invalid:
  // The block's bits and window position are not stored back; the input stays consumed.
  SyncInput(in);
  return 1;
}

void DecodeStoredBlock() {
  uint32_t b = BitBuffer, w = WindowPos;
  uint16_t k = BitCount;
  DumpBits(k & 7, b, k);  // to the byte boundary
  uint32_t len = TakeBits(16, b, k);
  TakeBits(16, b, k);  // NLEN is skipped unchecked: the LEN bytes are copied whatever it holds
  if (k < FillBits) {  // the data ended inside the block header
    InputOverrun = true;
    return;
  }
  // After the two 16-bit fields k is a multiple of 8 (in practice 0). Whole bytes still held
  // go first; then runs straight from InputBuffer, a refill through NextCompressedByte when
  // the chunk is used up. These are the bytes NeedBits(8) would deliver one by one.
  while (len > 0) {
    uint32_t piece = 1;
    if (k >= 8) {
      Window[w] = uint8_t(b);
      DumpBits(8, b, k);
    } else if (int32_t(InputPos) < InputCount) {
      piece = uint32_t(InputCount - InputPos);
      if (piece > len) piece = len;
      if (piece > WindowSize - w) piece = WindowSize - w;
      memcpy(Window + w, InputBuffer + InputPos, piece);
      InputPos = uint16_t(InputPos + piece);
      CompressedLeft -= int32_t(piece);
    } else {
      const int32_t c = NextCompressedByte();
      if (c < 0) {  // the data ended inside the block
        InputOverrun = true;
        return;
      }
      Window[w] = uint8_t(c);
    }
    w += piece;
    len -= piece;
    if (w == WindowSize) {
      FlushWindow(WindowSize);
      w = 0;
    }
  }
  BitBuffer = b;
  BitCount = k;
  WindowPos = uint16_t(w);
}

int DecodeFixedBlock() {
  if (FixedLiteralTable == nullptr) {
    uint16_t lengths[288];
    uint32_t i = 0;
    for (; i < 144; ++i) lengths[i] = 8;
    for (; i < 256; ++i) lengths[i] = 9;
    for (; i < 280; ++i) lengths[i] = 7;
    for (; i < 288; ++i) lengths[i] = 8;
    uint32_t bits = 7;  // result 0, root width 7
    BuildHuffmanTables(lengths, 288, 257, LengthBase, LengthExtra, 31, FixedLiteralTable, FixedChain, bits);
    for (i = 0; i < 30; ++i) lengths[i] = 5;
    bits = 5;  // result 1: 30 of the 32 five-bit patterns are used; accepted
    BuildHuffmanTables(lengths, 30, 0, DistanceBase, DistanceExtra, 30, FixedDistanceTable, FixedChain, bits);
  }
  return DecodeCodes(FixedLiteralTable, FixedDistanceTable, 7, 5);
}

void DecodeDynamicBlock() {
  uint32_t b = BitBuffer;
  uint16_t k = BitCount;
  const uint32_t nl = 257 + TakeBits(5, b, k);  // HLIT; 287 and 288 let symbols 286/287 in, invalid
  const uint32_t nd = 1 + TakeBits(5, b, k);    // HDIST; 31 and 32 give invalid symbols 30/31
  const uint32_t nb = 4 + TakeBits(4, b, k);    // HCLEN

  // Every table this block builds hangs on one of these chains; an abandoned block releases
  // them all and decodes nothing.
  HuffmanEntry* clChain = nullptr;
  HuffmanEntry* literalChain = nullptr;
  HuffmanEntry* distanceChain = nullptr;
  HuffmanEntry* tl = nullptr;
  HuffmanEntry* td = nullptr;
  uint32_t bl = 7, bd = 8;

  uint16_t length[288 + 32];
  uint32_t i = 0;
  for (; i < 19; ++i) length[CodeLengthOrder[i]] = uint16_t(i < nb ? TakeBits(3, b, k) : 0);

  // The code-length code must be complete (result 0 with a root).
  if (BuildHuffmanTables(length, 19, 19, nullptr, nullptr, 0, tl, clChain, bl) != 0 || tl == nullptr) goto abandon;
  {
    const uint32_t n = nl + nd;
    uint32_t p = 0;  // previous length: code 16 at the start repeats 0
    for (i = 0; i < n;) {
      NeedBits(bl, b, k);
      const HuffmanEntry& t = tl[b & MaskBits[bl]];
      if (t.Op != OpLiteral) goto abandon;  // a pattern without symbol
      DumpBits(t.Bits, b, k);
      const uint32_t j = t.Value;
      if (j < 16) {
        length[i++] = uint16_t(p = j);
        continue;
      }
      // 16: 3..6 copies of the previous length; 17: 3..10 zeros; 18: 11..138 zeros.
      uint32_t r;
      if (j == 16) {
        r = 3 + TakeBits(2, b, k);
      } else {
        r = j == 17 ? 3 + TakeBits(3, b, k) : 11 + TakeBits(7, b, k);
        p = 0;
      }
      if (i + r > n) goto abandon;  // a repeat past the last length
      while (r-- > 0) length[i++] = uint16_t(p);
    }
  }
  FreeHuffmanTables(clChain);
  clChain = nullptr;
  BitBuffer = b;
  BitCount = k;

  // Literal/length code: only complete codes are used. Distance code: incomplete and empty
  // codes are accepted (a block of literals only), over-subscribed ones are not.
  bl = 10;
  if (BuildHuffmanTables(length, nl, 257, LengthBase, LengthExtra, 31, tl, literalChain, bl) != 0 || tl == nullptr)
    goto abandon;
  if (BuildHuffmanTables(length + nl, nd, 0, DistanceBase, DistanceExtra, 30, td, distanceChain, bd) == 2)
    goto abandon;
  DecodeCodes(tl, td, bl, bd);
abandon:
  FreeHuffmanTables(clChain);
  FreeHuffmanTables(literalChain);
  FreeHuffmanTables(distanceChain);
}

void DecodeBlock(uint32_t& last) {
  uint32_t b = BitBuffer;
  uint16_t k = BitCount;
  last = TakeBits(1, b, k);
  const uint32_t type = TakeBits(2, b, k);
  BitBuffer = b;
  BitCount = k;
  if (type == 0) DecodeStoredBlock();
  else if (type == 1) DecodeFixedBlock();
  else if (type == 2) DecodeDynamicBlock();
  // Type 3 is reserved: nothing is decoded. Past the data every bit is 1, so a header read
  // there says last block, type 3, and decoding ends.
}

void InflateEntry() {
  InputPos = 0;
  InputCount = 0;
  WindowPos = 0;
  BitCount = 0;
  BitBuffer = 0;
  FillBits = 0;
  InputOverrun = false;
  MemBlock input(BufferBlockSize);
  MemBlock window(BufferBlockSize);
  InputBuffer = input.get();
  Window = window.get();
  WindowDefined = false;
  FixedCacheGuard fixedCache;  // built at the first fixed block, released when the entry ends

  uint32_t last = 0;
  do DecodeBlock(last);
  while (last == 0 && !InputOverrun);
  if (WindowPos > 0) {
    FlushWindow(WindowPos);
    WindowPos = 0;
  }
  InputBuffer = nullptr;
  Window = nullptr;
}
