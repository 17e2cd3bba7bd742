// Inflate block decoder (see inflate.h): stored, fixed and dynamic blocks, through the bit
// reader and window of bit_reader.h and the tables of huffman.h.
#include "inflate/inflate.h"
#include <cstring>
#include "inflate/bit_reader.h"
#include "inflate/huffman.h"
#include "util/speed.h"

// The constant tables keep their natural alignment (alignas): the compiler would place arrays
// of 32 bytes or more at 32-byte boundaries, padding the stub for reads that gain nothing here.
// Literal/length symbols 257..285, then 286 and 287 (invalid: extra 99).
alignas(2) const uint16_t LengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                            35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint8_t LengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
// Distance symbols 0..29; 30 and 31 lie beyond the tables and become invalid codes.
alignas(2) const uint16_t DistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                              193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const uint8_t CodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

namespace {

constexpr uint32_t WindowMask = WindowSize - 1;

// Brings the input's position and count of bytes left up to date with a decoder's local input
// pointer.
inline void SyncInput(EntryInput& input, const uint8_t* in) {
  const uint32_t pos = uint32_t(in - input.chunk);
  input.left -= int32_t(pos) - int32_t(input.pos);
  input.pos = pos;
}

// A block decoder's bit buffer, its count and its input pointers, as the slow helpers below
// take them: copied into one record at the call, so that the caller's own locals can stay in
// registers and a call passes one address.
struct BitCursor {
  uint32_t b, k;
  const uint8_t* in;
  const uint8_t* end;
};

// The slow half of Need, near a chunk's end: NeedBits takes the bytes left in the chunk one at
// a time, then refills it, and past the data supplies one-bits. False once bits past the data
// have been consumed: the caller ends its block.
ZELVIX_COLD bool RefillSlow(Inflater& z, uint32_t n, BitCursor& c) {
  SyncInput(z.in, c.in);
  if (c.k < z.fillBits) {
    z.overrun = true;
    return false;
  }
  NeedBits(z, n, c.b, c.k);
  c.in = z.in.chunk + z.in.pos;
  c.end = z.in.chunk + z.in.count;
  return true;
}

inline uint32_t Load4(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// The fast half of Need, while four bytes are buffered: whole bytes at once, until k is 24 or
// more.
ZELVIX_INLINE void TakeFour(uint32_t& b, uint32_t& k, const uint8_t*& in) {
  b |= Load4(in) << k;
  in += (31 - k) >> 3;
  k |= 24;
}

// NeedBits on a block decoder's locals: the same bits in the same order. While four bytes are
// buffered, whole bytes are added at once until k is 24 or more (the bits beyond n wait in the
// buffer for the next code, as the bytes beyond k do: a stored block takes them from there);
// near the chunk's end one byte at a time, only while k < n. n is at most 24 everywhere.
ZELVIX_INLINE bool Need(Inflater& z, uint32_t n, uint32_t& b, uint32_t& k, const uint8_t*& in, const uint8_t*& end) {
  if (k >= n) return true;
  if (end - in >= 4) {
    TakeFour(b, k, in);
    return true;
  }
  BitCursor c{b, k, in, end};
  const bool ok = RefillSlow(z, n, c);
  b = c.b;
  k = c.k;
  in = c.in;
  end = c.end;
  return ok;
}

// Follows the links of a code longer than its root table into the sub-tables. Such codes are
// the rare ones, so this stays out of the decoding loop. Returns the symbol's entry (its bits
// not yet dropped), or null for an invalid code or data ending inside the block.
ZELVIX_COLD const HuffmanEntry* FollowLinksSlow(Inflater& z, const HuffmanEntry* t, BitCursor& c) {
  for (uint32_t e = t->Op; e > OpLiteral; e = t->Op) {
    if (e == OpInvalid) return nullptr;
    c.b >>= t->Bits;
    c.k -= t->Bits;
    e -= OpLinkBase;
    if (c.k < e) {  // Need on the record itself
      if (c.end - c.in >= 4) TakeFour(c.b, c.k, c.in);
      else if (!RefillSlow(z, e, c)) return nullptr;
    }
    t = t->Next + (c.b & MaskBits[e]);
  }
  return t;
}

ZELVIX_INLINE const HuffmanEntry* FollowLinks(Inflater& z, const HuffmanEntry* t, uint32_t& b, uint32_t& k,
                                              const uint8_t*& in, const uint8_t*& end) {
  BitCursor c{b, k, in, end};
  t = FollowLinksSlow(z, t, c);
  b = c.b;
  k = c.k;
  in = c.in;
  end = c.end;
  return t;
}

inline void Store4(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

// Copies n bytes forward with the result of a byte-by-byte copy: where the source is fewer
// than n bytes behind the destination, the last (dst - src) bytes repeat. Never writes outside
// dst[0..n-1], since the ring bytes beyond are history that later distances may still reach.
// Four bytes per step in registers, even on 32-bit x86: under Wine that beats a library call
// at every match length; long runs of one byte go to memset.
ZELVIX_INLINE void CopyRun(uint8_t* dst, const uint8_t* src, uint32_t n) {
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

// CopyRun as a call, for the ring pieces of a match that wraps or reaches the window's end: they
// come seldom enough for a call, and a second inlined copy costs its bytes in the stub.
__attribute__((noinline)) void CopyPiece(uint8_t* dst, const uint8_t* src, uint32_t n) { CopyRun(dst, src, n); }

// NeedBits n, the n-bit field, DumpBits n, on the inflater's own bit buffer: the header fields
// of all three block types.
ZELVIX_COLD uint32_t TakeBits(Inflater& z, uint32_t n) {
  NeedBits(z, n, z.bitBuffer, z.bitCount);
  const uint32_t v = z.bitBuffer & MaskBits[n];
  DumpBits(n, z.bitBuffer, z.bitCount);
  return v;
}

// The slow half of AdvanceWindow, once in 32 KB: writes the whole window.
ZELVIX_COLD bool FlushWholeWindow(Inflater& z) {
  FlushWindow(z.out, WindowSize);
  z.windowDefined = true;
  if (z.out.fault != OutputFault::None) {
    z.overrun = true;
    return true;
  }
  return false;
}

// Writes the window once it is full. True when the output took no more (past the declared size,
// or a failed write): the entry ends there, as at the end of its data.
ZELVIX_INLINE bool AdvanceWindow(Inflater& z, uint32_t& w) {
  if (w != WindowSize) return false;
  w = 0;
  return FlushWholeWindow(z);
}

// Decodes literal/length and distance codes until end of block or an invalid code (an Op 99
// entry, a length with an empty distance code, or data ending inside the block). After an
// invalid code the bit buffer and window position are not stored back, the input stays where
// reading stopped, and z.invalid is set (and z.overrun, for data ending).
// The loop that every compressed byte goes through.
void DecodeCodes(Inflater& z, const HuffmanEntry* tl, const HuffmanEntry* td, uint32_t bl, uint32_t bd) {
  uint32_t b = z.bitBuffer, k = z.bitCount, w = z.windowPos;
  uint8_t* const win = z.out.window;
  const uint8_t* in = z.in.chunk + z.in.pos;
  const uint8_t* end = z.in.chunk + z.in.count;
  const uint32_t ml = MaskBits[bl], md = MaskBits[bd];

  for (;;) {
    if (!Need(z, bl, b, k, in, end)) goto invalid;
    const HuffmanEntry* t = tl + (b & ml);
    uint32_t e = t->Op;
    if (e > OpLiteral) {  // a link, or a pattern no symbol owns
      t = FollowLinks(z, t, b, k, in, end);
      if (t == nullptr) goto invalid;
      e = t->Op;
    }
    b >>= t->Bits;
    k -= t->Bits;
    if (e == OpLiteral) {
      win[w++] = uint8_t(t->Value);
      if (AdvanceWindow(z, w)) goto invalid;
      continue;
    }
    if (e == OpEndOfBlock) {
      z.bitBuffer = b;
      z.bitCount = k;
      z.windowPos = w;
      goto done;
    }

    // A length: base plus e extra bits (0..5), at most 258; then its distance, whose root
    // lookup is taken from the same refill. A block whose distance code is empty may hold
    // literals only.
    if (td == nullptr) goto invalid;
    if (!Need(z, e + bd, b, k, in, end)) goto invalid;
    uint32_t len = t->Value + (b & MaskBits[e]);
    b >>= e;
    k -= e;
    t = td + (b & md);
    e = t->Op;
    if (e > OpLiteral) {  // distance symbols 30 and 31 and unowned patterns are invalid
      t = FollowLinks(z, t, b, k, in, end);
      if (t == nullptr) goto invalid;
      e = t->Op;
    }
    b >>= t->Bits;
    k -= t->Bits;
    if (!Need(z, e, b, k, in, end)) goto invalid;
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
    if (d > w && !z.windowDefined) ClearWindowFrom(z, w);

    // Copy in pieces that keep source and destination inside the ring.
    do {
      d &= WindowMask;
      uint32_t piece = WindowSize - (d > w ? d : w);
      if (piece > len) piece = len;
      len -= piece;
      CopyPiece(win + w, win + d, piece);
      w += piece;
      d += piece;
      if (AdvanceWindow(z, w)) goto invalid;
    } while (len > 0);
  }

invalid:
  // The block's bits and window position are not stored back; the input stays consumed.
  z.invalid = true;
done:
  SyncInput(z.in, in);
}

void DecodeStoredBlock(Inflater& z) {
  DumpBits(z.bitCount & 7, z.bitBuffer, z.bitCount);  // to the byte boundary
  uint32_t len = TakeBits(z, 16);
  TakeBits(z, 16);  // NLEN is skipped unchecked: the LEN bytes are copied whatever it holds
  uint32_t b = z.bitBuffer, k = z.bitCount, w = z.windowPos;
  EntryInput& input = z.in;
  uint8_t* const window = z.out.window;
  if (k < z.fillBits) {  // the data ended inside the block header
    z.overrun = true;
    return;
  }
  // After the two 16-bit fields k is a multiple of 8 (in practice 0). Whole bytes still held
  // go first; then runs straight from the input chunk, a refill through NextInputByte when the
  // chunk is used up. These are the bytes NeedBits(8) would deliver one by one.
  while (len > 0) {
    uint32_t piece = 1;
    if (k >= 8) {
      window[w] = uint8_t(b);
      DumpBits(8, b, k);
    } else if (int32_t(input.pos) < input.count) {
      piece = uint32_t(input.count) - input.pos;
      if (piece > len) piece = len;
      if (piece > WindowSize - w) piece = WindowSize - w;
      memcpy(window + w, input.chunk + input.pos, piece);
      input.pos += piece;
      input.left -= int32_t(piece);
    } else {
      const int32_t c = NextInputByte(input);
      if (c < 0) {  // the data ended inside the block
        z.overrun = true;
        return;
      }
      window[w] = uint8_t(c);
    }
    w += piece;
    len -= piece;
    if (AdvanceWindow(z, w)) return;
  }
  z.bitBuffer = b;
  z.bitCount = k;
  z.windowPos = w;
}

void DecodeFixedBlock(Inflater& z) {
  if (z.fixedLiteral == nullptr) {
    uint16_t lengths[288];
    uint32_t i = 0;
    for (; i < 288; ++i) lengths[i] = i < 144 || i >= 280 ? 8 : i < 256 ? 9 : 7;
    HuffmanEntry* literal = nullptr;
    HuffmanEntry* distance = nullptr;
    uint32_t bits = 7;  // result 0, root width 7
    BuildHuffmanTables(lengths, 288, 257, LengthBase, LengthExtra, 31, literal, z.fixedChain, bits);
    for (i = 0; i < 30; ++i) lengths[i] = 5;
    bits = 5;  // result 1: 30 of the 32 five-bit patterns are used; accepted
    BuildHuffmanTables(lengths, 30, 0, DistanceBase, DistanceExtra, 30, distance, z.fixedChain, bits);
    z.fixedLiteral = literal;
    z.fixedDistance = distance;
  }
  DecodeCodes(z, z.fixedLiteral, z.fixedDistance, 7, 5);
}

void DecodeDynamicBlock(Inflater& z) {
  // The bits held before the header fields: a block abandoned before its code lengths are all
  // read leaves them as they were (its input stays consumed).
  const uint32_t heldBits = z.bitBuffer, heldCount = z.bitCount;
  const uint32_t nl = 257 + TakeBits(z, 5);  // HLIT; 287 and 288 let symbols 286/287 in, invalid
  const uint32_t nd = 1 + TakeBits(z, 5);    // HDIST; 31 and 32 give invalid symbols 30/31
  const uint32_t nb = 4 + TakeBits(z, 4);    // HCLEN

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
  for (; i < 19; ++i) length[CodeLengthOrder[i]] = uint16_t(i < nb ? TakeBits(z, 3) : 0);

  // The code-length code must be complete (result 0 with a root).
  if (BuildHuffmanTables(length, 19, 19, nullptr, nullptr, 0, tl, clChain, bl) != 0 || tl == nullptr)
    goto abandonLengths;
  {
    const uint32_t n = nl + nd;
    uint32_t p = 0;  // previous length: code 16 at the start repeats 0
    for (i = 0; i < n;) {
      NeedBits(z, bl, z.bitBuffer, z.bitCount);
      const HuffmanEntry& t = tl[z.bitBuffer & MaskBits[bl]];
      if (t.Op != OpLiteral) goto abandonLengths;  // a pattern without symbol
      DumpBits(t.Bits, z.bitBuffer, z.bitCount);
      const uint32_t j = t.Value;
      if (j < 16) {
        length[i++] = uint16_t(p = j);
        continue;
      }
      // 16: 3..6 copies of the previous length; 17: 3..10 zeros; 18: 11..138 zeros.
      uint32_t r;
      if (j == 16) {
        r = 3 + TakeBits(z, 2);
      } else {
        r = j == 17 ? 3 + TakeBits(z, 3) : 11 + TakeBits(z, 7);
        p = 0;
      }
      if (i + r > n) goto abandonLengths;  // a repeat past the last length
      while (r-- > 0) length[i++] = uint16_t(p);
    }
  }
  FreeHuffmanTables(clChain);
  clChain = nullptr;

  // Literal/length code: only complete codes are used. Distance code: incomplete and empty
  // codes are accepted (a block of literals only), over-subscribed ones are not.
  bl = 10;
  if (BuildHuffmanTables(length, nl, 257, LengthBase, LengthExtra, 31, tl, literalChain, bl) != 0 || tl == nullptr)
    goto abandon;
  if (BuildHuffmanTables(length + nl, nd, 0, DistanceBase, DistanceExtra, 30, td, distanceChain, bd) == 2)
    goto abandon;
  DecodeCodes(z, tl, td, bl, bd);
  goto release;
abandonLengths:
  z.bitBuffer = heldBits;
  z.bitCount = heldCount;
abandon:
  z.invalid = true;
release:
  FreeHuffmanTables(clChain);
  FreeHuffmanTables(literalChain);
  FreeHuffmanTables(distanceChain);
}

// Reads one block header and decodes the block; returns BFINAL. Type 3 is reserved: nothing is
// decoded, and decoding goes on after it unless it is the last. Past the data every bit is 1,
// so a header read there says last block, type 3, and decoding ends.
uint32_t DecodeBlock(Inflater& z) {
  const uint32_t last = TakeBits(z, 1);
  const uint32_t type = TakeBits(z, 2);
  if (type == 0) DecodeStoredBlock(z);
  else if (type == 1) DecodeFixedBlock(z);
  else if (type == 2) DecodeDynamicBlock(z);
  return last;
}

// Releases the fixed-code tables of an entry however its decoding ends. Their blocks join the
// spare tables, which later entries take again (a heap call per table and entry costs small
// entries a few per cent under Wine).
struct FixedTablesGuard {
  explicit FixedTablesGuard(Inflater& state) : z(state) {}
  ~FixedTablesGuard() { FreeHuffmanTables(z.fixedChain); }
  Inflater& z;
};

}  // namespace

bool Inflate(EntryInput& in, EntryOutput& out) {
  if (!OpenWindow(out, WindowSize)) return false;
  Inflater z(in, out);
  FixedTablesGuard fixedTables(z);  // built at the first fixed block, released when the entry ends
  uint32_t last = 0;
  do last = DecodeBlock(z);
  while (last == 0 && !z.overrun);
  if (z.windowPos > 0) FlushWindow(out, z.windowPos);
  return !z.overrun && !z.invalid;
}
