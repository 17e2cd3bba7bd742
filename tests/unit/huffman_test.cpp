// Huffman table builder: the shapes of the fixed codes, incomplete, over-subscribed and empty
// codes, the root width rules, and the chain that releases every table of a build.
#include <gtest/gtest.h>
#include "support/bit_writer.h"
#include <vector>
#include "inflate/huffman.h"
#include "inflate/inflate.h"

namespace {

using Lengths = std::vector<uint16_t>;

// Follows a code through the tables as the decoder does. `stream` holds the code bits in
// stream order (first bit lowest); returns the final entry and the bits dropped on the way.
const HuffmanEntry& Resolve(const HuffmanEntry* root, uint32_t lookupBits, uint32_t stream, uint32_t& dropped) {
  const HuffmanEntry* t = root + (stream & ((1u << lookupBits) - 1));
  dropped = 0;
  while (t->Op > OpLinkBase && t->Op != OpInvalid) {
    stream >>= t->Bits;
    dropped += t->Bits;
    const uint32_t width = t->Op - OpLinkBase;
    t = t->Next + (stream & ((1u << width) - 1));
  }
  dropped += t->Bits;
  return *t;
}

uint32_t Reverse(uint32_t code, uint32_t bits) {
  uint32_t r = 0;
  for (uint32_t i = 0; i < bits; ++i) r |= ((code >> i) & 1) << (bits - 1 - i);
  return r;
}

uint32_t ChainLength(HuffmanEntry* chain, HuffmanEntry* stop = nullptr) {
  uint32_t n = 0;
  for (; chain != stop; chain = (chain - 1)->Next) ++n;
  return n;
}

Lengths FixedLiteralLengths() {
  Lengths l(288);
  for (int i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  return l;
}

// Every used symbol's code must lead to the entry the decoder expects, consuming its length.
void ExpectDecodesEverySymbol(const Lengths& lengths, uint32_t s, const HuffmanEntry* root, uint32_t lookupBits,
                              const uint16_t* base, const uint8_t* extra, uint32_t extraCount) {
  const std::vector<uint32_t> codes = CanonicalCodes(lengths);
  for (uint32_t sym = 0; sym < lengths.size(); ++sym) {
    if (lengths[sym] == 0) continue;
    uint32_t dropped;
    const HuffmanEntry& e = Resolve(root, lookupBits, Reverse(codes[sym], lengths[sym]), dropped);
    ASSERT_EQ(dropped, lengths[sym]) << "symbol " << sym;
    if (sym < s) {
      ASSERT_EQ(e.Op, sym < 256 ? OpLiteral : OpEndOfBlock) << "symbol " << sym;
      ASSERT_EQ(e.Value, sym);
    } else if (sym - s < extraCount) {
      ASSERT_EQ(e.Op, extra[sym - s]) << "symbol " << sym;
      ASSERT_EQ(e.Value, base[sym - s]) << "symbol " << sym;
    } else {
      ASSERT_EQ(e.Op, OpInvalid) << "symbol " << sym;
    }
  }
}

TEST(HuffmanShapes, FixedLiteralCodeHasSevenBitRootAnd104SubTables) {
  const Lengths lengths = FixedLiteralLengths();
  HuffmanEntry *root = nullptr, *chain = nullptr;
  uint32_t bits = 7;
  ASSERT_EQ(BuildHuffmanTables(lengths.data(), 288, 257, LengthBase, LengthExtra, 31, root, chain, bits), 0);
  EXPECT_EQ(bits, 7u);
  int oneBit = 0, twoBit = 0, direct = 0;
  for (int i = 0; i < 128; ++i) {
    if (root[i].Op == OpLinkBase + 1) ++oneBit;
    else if (root[i].Op == OpLinkBase + 2) ++twoBit;
    else ++direct;
    if (root[i].Op > OpLinkBase) EXPECT_EQ(root[i].Bits, 7);
  }
  EXPECT_EQ(oneBit, 76);  // the 152 eight-bit codes
  EXPECT_EQ(twoBit, 28);  // the 112 nine-bit codes
  EXPECT_EQ(direct, 24);  // the seven-bit codes 256..279
  EXPECT_EQ(ChainLength(chain), 105u);
  EXPECT_EQ(root[0].Op, OpEndOfBlock);  // symbol 256 is 0000000
  ExpectDecodesEverySymbol(lengths, 257, root, bits, LengthBase, LengthExtra, 31);
  FreeHuffmanTables(chain);
}

TEST(HuffmanShapes, FixedDistanceCodeIsIncompleteAndRejects30And31) {
  const Lengths lengths(30, 5);
  HuffmanEntry *root = nullptr, *chain = nullptr;
  uint32_t bits = 5;
  ASSERT_EQ(BuildHuffmanTables(lengths.data(), 30, 0, DistanceBase, DistanceExtra, 30, root, chain, bits), 1);
  EXPECT_EQ(bits, 5u);
  EXPECT_EQ(ChainLength(chain), 1u);
  ExpectDecodesEverySymbol(lengths, 0, root, bits, DistanceBase, DistanceExtra, 30);
  EXPECT_EQ(root[Reverse(30, 5)].Op, OpInvalid);
  EXPECT_EQ(root[Reverse(31, 5)].Op, OpInvalid);
  FreeHuffmanTables(chain);
}

TEST(HuffmanShapes, SingleOneBitCodeIsAcceptedWithOtherPatternInvalid) {
  Lengths lengths(30, 0);
  lengths[3] = 1;
  HuffmanEntry *root = nullptr, *chain = nullptr;
  uint32_t bits = 6;
  EXPECT_EQ(BuildHuffmanTables(lengths.data(), 30, 0, DistanceBase, DistanceExtra, 30, root, chain, bits), 0);
  EXPECT_EQ(bits, 1u);
  EXPECT_EQ(root[0].Op, DistanceExtra[3]);
  EXPECT_EQ(root[0].Value, DistanceBase[3]);
  EXPECT_EQ(root[1].Op, OpInvalid);
  FreeHuffmanTables(chain);
}

TEST(HuffmanShapes, OverSubscribedAndEmptyCodesAllocateNothing) {
  HuffmanEntry marker[2] = {};
  HuffmanEntry *root = &marker[1], *chain = nullptr;
  uint32_t bits = 7;
  const Lengths three(19, 0);
  Lengths over = three;
  over[0] = over[1] = over[2] = 1;
  EXPECT_EQ(BuildHuffmanTables(over.data(), 19, 19, nullptr, nullptr, 0, root, chain, bits), 2);
  EXPECT_EQ(root, &marker[1]);
  EXPECT_EQ(chain, nullptr);

  bits = 7;
  EXPECT_EQ(BuildHuffmanTables(three.data(), 19, 19, nullptr, nullptr, 0, root, chain, bits), 0);
  EXPECT_EQ(root, nullptr);
  EXPECT_EQ(bits, 0u);
  EXPECT_EQ(chain, nullptr);

  Lengths tooLong(19, 0);
  tooLong[0] = 17;  // lengths above 16 cannot come from a stream; refused rather than indexed
  EXPECT_EQ(BuildHuffmanTables(tooLong.data(), 19, 19, nullptr, nullptr, 0, root, chain, bits), 2);
}

TEST(HuffmanShapes, RootNeverWiderThanTheLongestCode) {
  const Lengths lengths = {2, 3, 4, 5, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // complete, up to 5 bits
  HuffmanEntry *root = nullptr, *chain = nullptr;
  uint32_t bits = 7;
  ASSERT_EQ(BuildHuffmanTables(lengths.data(), 19, 19, nullptr, nullptr, 0, root, chain, bits), 0);
  EXPECT_EQ(bits, 5u);
  EXPECT_EQ(ChainLength(chain), 1u);
  ExpectDecodesEverySymbol(lengths, 19, root, bits, nullptr, nullptr, 0);
  FreeHuffmanTables(chain);
}

// A complete literal/length code with codes of 7 to 15 bits; the end-of-block code gets eobLength.
Lengths LongLiteralCode(uint16_t eobLength) {
  // Counts per length that fill the code space exactly, in 1/32768 units:
  // 100*256 + 50*128 + 10*64 + 2*32 + 3*16 + 8 + 4 + 2 + 2*1 = 32768.
  const uint32_t counts[16] = {0, 0, 0, 0, 0, 0, 0, 100, 50, 10, 2, 3, 1, 1, 1, 2};
  Lengths lengths(270, 0);
  std::vector<uint16_t> pool;
  for (uint16_t len = 1; len < 16; ++len)
    for (uint32_t i = 0; i < counts[len]; ++i) pool.push_back(len);
  // Give the end-of-block code its length, the rest in order to symbols 0, 1, 2, ...
  for (size_t i = 0; i < pool.size(); ++i)
    if (pool[i] == eobLength) {
      pool.erase(pool.begin() + long(i));
      break;
    }
  lengths[256] = eobLength;
  for (size_t i = 0; i < pool.size(); ++i) lengths[i < 256 ? i : i + 1] = pool[i];
  return lengths;
}

// Each build after the first takes the tables the one before released, stale entries and all.
TEST(HuffmanShapes, LiteralRootStopsAtTheEndOfBlockCode) {
  for (uint16_t eob : {7, 8, 9, 12, 15}) {
    const Lengths lengths = LongLiteralCode(eob);
    HuffmanEntry *root = nullptr, *chain = nullptr;
    uint32_t bits = 9;
    ASSERT_EQ(BuildHuffmanTables(lengths.data(), uint32_t(lengths.size()), 257, LengthBase, LengthExtra, 31, root,
                                 chain, bits),
              0);
    EXPECT_EQ(bits, eob < 9 ? eob : 9u) << "end-of-block length " << eob;
    for (uint32_t i = 0; i < (1u << bits); ++i)
      if (root[i].Op > OpLinkBase && root[i].Op != OpInvalid) {
        EXPECT_EQ(root[i].Bits, bits);
        EXPECT_LE(root[i].Op - OpLinkBase, 16);
      }
    ExpectDecodesEverySymbol(lengths, 257, root, bits, LengthBase, LengthExtra, 31);
    FreeHuffmanTables(chain);
  }
}

TEST(HuffmanShapes, IncompleteDistanceCodeWidensTheRootByOneBit) {
  Lengths lengths(30, 0);
  for (int i = 0; i < 20; ++i) lengths[i] = 6;
  for (int i = 20; i < 30; ++i) lengths[i] = 7;
  HuffmanEntry *root = nullptr, *chain = nullptr;
  uint32_t bits = 6;
  ASSERT_EQ(BuildHuffmanTables(lengths.data(), 30, 0, DistanceBase, DistanceExtra, 30, root, chain, bits), 1);
  EXPECT_EQ(bits, 7u);
  EXPECT_EQ(ChainLength(chain), 1u);
  ExpectDecodesEverySymbol(lengths, 0, root, bits, DistanceBase, DistanceExtra, 30);
  FreeHuffmanTables(chain);
}

TEST(HuffmanChain, ReleaseWalksThisBuildThenWhatTheChainHeldBefore) {
  const Lengths distance(30, 5);
  HuffmanEntry *first = nullptr, *chain = nullptr;
  uint32_t bits = 5;
  BuildHuffmanTables(distance.data(), 30, 0, DistanceBase, DistanceExtra, 30, first, chain, bits);
  HuffmanEntry* const before = chain;
  const Lengths literal = FixedLiteralLengths();
  HuffmanEntry* second = nullptr;
  bits = 7;
  BuildHuffmanTables(literal.data(), 288, 257, LengthBase, LengthExtra, 31, second, chain, bits);
  EXPECT_EQ(ChainLength(chain, before), 105u);  // this build's tables, newest first
  EXPECT_EQ(ChainLength(chain), 106u);
  EXPECT_EQ(FreeHuffmanTables(chain), 0);
  ReleaseSpareTables();  // back to the heap: ASan reports a leak or a table released twice
}

}  // namespace
