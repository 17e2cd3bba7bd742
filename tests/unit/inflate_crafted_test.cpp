// Hand-made deflate streams, one per error path and corner of the block decoder, written with
// the bit writer one field per call. Each runs as a whole entry through real files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>
#include <string>
#include "inflate/bit_reader.h"
#include "inflate/inflate.h"
#include "support/bit_writer.h"
#include "support/entry_runner.h"
#include "support/test_data.h"

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One code-length instruction: symbol 0..18 and its extra bits.
struct ClStep { uint32_t symbol, extra = 0, extraBits = 0; };

// Dynamic block header: HLIT, HDIST, HCLEN, the code-length code (all 19 lengths sent) and the
// instructions. Returns the literal/length and distance codes for writing the body.
struct DynamicCodes { std::vector<uint32_t> lit, dist; std::vector<uint16_t> litLen, distLen; };
DynamicCodes WriteDynamicHeader(BitWriter& w, uint32_t nl, uint32_t nd, const std::vector<uint16_t>& clLengths,
                                const std::vector<ClStep>& steps, const std::vector<uint16_t>& all) {
  static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  w.Put(nl - 257, 5);  // HLIT
  w.Put(nd - 1, 5);    // HDIST
  w.Put(19 - 4, 4);    // HCLEN: all 19 code-length-code lengths follow
  for (uint8_t s : order) w.Put(clLengths[s], 3);
  const std::vector<uint32_t> cl = CanonicalCodes(clLengths);
  for (const ClStep& s : steps) {
    w.Code(cl[s.symbol], clLengths[s.symbol]);
    w.Put(s.extra, s.extraBits);
  }
  DynamicCodes c;
  if (all.size() == nl + nd) {
    c.litLen.assign(all.begin(), all.begin() + nl);
    c.distLen.assign(all.begin() + nl, all.end());
    c.lit = CanonicalCodes(c.litLen);
    c.dist = CanonicalCodes(c.distLen);
  }
  return c;
}

// Complete code-length codes: symbols 0..15 with 4 bits each (16/16), and one that also has
// the repeat codes: 13 symbols of 4 bits and 6 of 5 bits (13/16 + 6/32 = 1).
std::vector<uint16_t> PlainClLengths() {
  std::vector<uint16_t> l(19, 0);
  for (int i = 0; i < 16; ++i) l[i] = 4;
  return l;
}
std::vector<uint16_t> RepeatClLengths() {
  std::vector<uint16_t> l(19, 5);
  for (int i = 0; i < 13; ++i) l[i] = 4;
  return l;
}

std::vector<ClStep> Plain(const std::vector<uint16_t>& all) {
  std::vector<ClStep> steps;
  for (uint16_t l : all) steps.push_back({l});
  return steps;
}

// The small dynamic code used below: 'a', 'b', end of block and length symbol 257 with 2 bits,
// one distance code (symbol 1, distance 2) of 1 bit; nl = 258, nd = 2.
std::vector<uint16_t> SmallCodeLengths(uint16_t distanceLength = 1) {
  std::vector<uint16_t> all(258 + 2, 0);
  all['a'] = all['b'] = all[256] = all[257] = 2;
  all[258 + 1] = distanceLength;
  return all;
}

void WriteSmallBody(BitWriter& w, const DynamicCodes& c) {
  w.Code(c.lit['a'], 2);  // literal 'a'
  w.Code(c.lit['b'], 2);  // literal 'b'
  w.Code(c.lit[257], 2);  // length 3
  w.Code(c.dist[1], 1);   // distance 2
  w.Code(c.lit[256], 2);  // end of block
}

TEST(StoredBlocks, LengthFiveAndLengthZero) {
  BitWriter w;
  w.Put(0, 1).Put(0, 2).Align();  // not last, stored
  w.Put(0, 16).Put(0xFFFF, 16);   // LEN 0, NLEN
  w.Put(1, 1).Put(0, 2).Align();  // last, stored
  w.Put(5, 16).Put(0xFFFA, 16);   // LEN 5, NLEN
  for (char ch : std::string("hello")) w.Byte(uint8_t(ch));
  const EntryResult r = InflateBytes(w.Bytes());
  EXPECT_EQ(r.output, Text("hello"));
  EXPECT_EQ(r.crc, ZlibCrc(Text("hello")));
}

TEST(StoredBlocks, TrailingBytesAfterTheLastBlockStayUnread) {
  BitWriter w;
  w.Put(1, 1).Put(0, 2).Align().Put(2, 16).Put(0xFFFD, 16).Byte('o').Byte('k');
  Bytes data = w.Bytes();
  data.insert(data.end(), 7, 0xEE);
  const EntryResult r = InflateBytes(data);
  EXPECT_EQ(r.output, Text("ok"));
  EXPECT_EQ(r.compressedLeft, 7);
}

TEST(StoredBlocks, BlockAtWindowPosition32000WrapsOnce) {
  // 32,000 bytes, then a block of 2,000 that wraps the window after 768 bytes, then a match
  // that reads back the first bytes written after the wrap: it finds them only where the
  // window position went on from 1,232.
  BitWriter w;
  const Bytes first = MakeData(DataKind::Random, 32000, 2), body = MakeData(DataKind::Random, 2000, 3);
  w.Put(0, 1).Put(0, 2).Align().Put(32000, 16).Put(~32000u & 0xFFFF, 16);
  for (uint8_t b : first) w.Byte(b);
  w.Put(0, 1).Put(0, 2).Align().Put(2000, 16).Put(~2000u & 0xFFFF, 16);
  for (uint8_t b : body) w.Byte(b);
  w.Put(1, 1).Put(1, 2).FixedSymbol(259).FixedDistance(20).Put(1232 - 1025, 9).FixedSymbol(256);  // 5 at 1,232
  Bytes expected = first;
  expected.insert(expected.end(), body.begin(), body.end());
  expected.insert(expected.end(), body.begin() + 768, body.begin() + 773);
  const EntryResult r = InflateBytes(w.Bytes());
  EXPECT_TRUE(r.ended);
  EXPECT_TRUE(r.output == expected);
}

TEST(FixedBlocks, DistanceOneLength258RepeatsTheLastByte) {
  BitWriter w;
  w.Put(1, 1).Put(1, 2);  // last, fixed
  w.FixedSymbol('z');     // literal
  w.FixedSymbol(285);     // length 258, no extra bits
  w.FixedDistance(0);     // distance 1
  w.FixedSymbol(256);     // end of block
  EXPECT_EQ(InflateBytes(w.Bytes()).output, Bytes(259, 'z'));
}

// A distance reaching before the entry's first byte reads zeros, whatever the window's memory
// held before: here after an entry that filled its window with 'x'.
TEST(FixedBlocks, DistanceBeforeTheFirstByteReadsZeros) {
  BitWriter fill;
  fill.Put(1, 1).Put(1, 2).FixedSymbol('x');
  for (int i = 0; i < 130; ++i) fill.FixedSymbol(285).FixedDistance(0);  // 258 more, distance 1
  fill.FixedSymbol(256);
  ASSERT_EQ(InflateBytes(fill.Bytes()).output, Bytes(1 + 130 * 258, 'x'));
  BitWriter w;
  w.Put(1, 1).Put(1, 2).FixedSymbol('a');
  w.FixedSymbol(264).FixedDistance(4).Put(0, 1);  // length 10, distance 5
  w.FixedSymbol(256);
  const Bytes expected{'a', 0, 0, 0, 0, 'a', 0, 0, 0, 0, 'a'};
  EXPECT_EQ(InflateBytes(w.Bytes()).output, expected);
}

TEST(FixedBlocks, BackReferenceAcrossTheWindowWrap) {
  // 32,758 stored bytes, then a fixed block copying 258 bytes from distance 100 (the copy wraps
  // the ring) and 258 from distance 30,000 (a source ahead of the write position after the wrap).
  const Bytes head = MakeData(DataKind::Random, 32758, 11);
  BitWriter w;
  w.Put(0, 1).Put(0, 2).Align().Put(head.size(), 16).Put(~head.size() & 0xFFFF, 16);
  for (uint8_t b : head) w.Byte(b);
  w.Put(1, 1).Put(1, 2);                       // last, fixed
  w.FixedSymbol(285).FixedDistance(13).Put(3, 5);              // length 258; distance 97 + 3
  w.FixedSymbol(285).FixedDistance(29).Put(30000 - 24577, 13);  // length 258; distance 30,000
  w.FixedSymbol(256);
  Bytes expected = head;
  for (size_t i = 0; i < 258; ++i) expected.push_back(expected[expected.size() - 100]);
  for (size_t i = 0; i < 258; ++i) expected.push_back(expected[expected.size() - 30000]);
  const EntryResult r = InflateBytes(w.Bytes());
  EXPECT_TRUE(r.output == expected);
  EXPECT_EQ(r.crc, ZlibCrc(expected));
}

// Fixed-code length symbol and extra bits for a match length 3..258, distance code and extra
// bits for a distance 1..32768 (the tables of RFC 1951, 3.2.5).
void FixedMatch(BitWriter& w, uint32_t length, uint32_t distance) {
  static const uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                         3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  uint32_t s = 28;
  while (lengthBase[s] > length) --s;
  w.FixedSymbol(257 + s).Put(length - lengthBase[s], lengthExtra[s]);
  uint32_t d = 0, base = 1;  // distance codes come in pairs whose extra bits grow by one
  for (uint32_t extra = 0;; ++d) {
    extra = d < 4 ? 0 : d / 2 - 1;
    if (distance < base + (1u << extra)) {
      w.FixedDistance(d).Put(distance - base, extra);
      return;
    }
    base += 1u << extra;
  }
}

// Copies whose distance is shorter than a copy step, lengths around the steps, copies ending
// just before, at and just after the ring's end, and sources just ahead of the write position
// in the ring (distances near 32 KB after the wrap): each compared with a copy made byte by byte.
TEST(FixedBlocks, CopiesAroundEveryStepAndOverlap) {
  struct Case { uint32_t history, distance; };
  std::vector<Case> cases;
  for (uint32_t d = 1; d <= 9; ++d) cases.push_back({10, d});
  for (uint32_t d : {5u, 4000u}) cases.push_back({32768 - 33, d});  // lengths 32, 33, 34 meet the end
  for (uint32_t d : {32768u, 32767u, 32766u, 32765u, 32764u, 32740u}) cases.push_back({32778, d});
  const Bytes random = MakeData(DataKind::Random, 32778, 5);  // the longest history
  for (const Case& c : cases) {
    for (uint32_t length : {3u, 4u, 5u, 7u, 8u, 9u, 16u, 17u, 31u, 32u, 33u, 34u, 100u, 258u}) {
      SCOPED_TRACE(testing::Message() << "distance " << c.distance << ", length " << length);
      Bytes expected(random.begin(), random.begin() + c.history);
      BitWriter w;
      w.Put(0, 1).Put(0, 2).Align().Put(c.history, 16).Put(~c.history & 0xFFFF, 16);
      for (uint8_t b : expected) w.Byte(b);
      w.Put(1, 1).Put(1, 2);
      FixedMatch(w, length, c.distance);
      w.FixedSymbol('x').FixedSymbol('y').FixedSymbol('z').FixedSymbol(256);  // and on after the copy
      for (uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - c.distance]);
      for (uint8_t ch : {'x', 'y', 'z'}) expected.push_back(ch);
      EXPECT_TRUE(InflateBytes(w.Bytes()).output == expected);
    }
  }
}

TEST(InvalidCodes, EndTheBlockWithoutStoringItsWindowPosition) {
  struct Case { const char* what; uint32_t length, distance; };
  for (const Case& c : {Case{"length 286", 286, 0}, Case{"length 287", 287, 0}, Case{"distance 30", 257, 30},
                        Case{"distance 31", 257, 31}}) {
    BitWriter w;
    w.Put(1, 1).Put(1, 2);     // last, fixed
    w.FixedSymbol('a');        // a literal that the invalid code takes back
    w.FixedSymbol(c.length);   // invalid, or length 3
    w.FixedDistance(c.distance);
    w.FixedSymbol(256);
    EXPECT_TRUE(InflateBytes(w.Bytes()).output.empty()) << c.what;
  }
}

TEST(BlockTypeThree, LastEndsDecodingOtherwiseDecodingGoesOn) {
  BitWriter goesOn;
  goesOn.Put(0, 1).Put(3, 2);                                  // not last, type 3
  goesOn.Put(1, 1).Put(1, 2).FixedSymbol('x').FixedSymbol(256);  // last, fixed: "x"
  EXPECT_EQ(InflateBytes(goesOn.Bytes()).output, Text("x"));
  BitWriter ends;
  ends.Put(1, 1).Put(3, 2);                                  // last, type 3
  ends.Put(1, 1).Put(1, 2).FixedSymbol('x').FixedSymbol(256);  // never read
  EXPECT_TRUE(InflateBytes(ends.Bytes()).output.empty());
}

TEST(DynamicBlocks, SingleOneBitDistanceCodeIsAccepted) {
  BitWriter w;
  w.Put(1, 1).Put(2, 2);  // last, dynamic
  const auto all = SmallCodeLengths();
  const DynamicCodes c = WriteDynamicHeader(w, 258, 2, PlainClLengths(), Plain(all), all);
  WriteSmallBody(w, c);
  EXPECT_EQ(InflateBytes(w.Bytes()).output, Text("ababa"));
}

TEST(DynamicBlocks, RepeatCodeSixteenFirstRepeatsZero) {
  BitWriter w;
  w.Put(1, 1).Put(2, 2);
  const auto all = SmallCodeLengths();
  std::vector<ClStep> steps = {{16, 3, 2}};  // six zeros for symbols 0..5
  for (size_t i = 6; i < all.size(); ++i) steps.push_back({all[i]});
  const DynamicCodes c = WriteDynamicHeader(w, 258, 2, RepeatClLengths(), steps, all);
  WriteSmallBody(w, c);
  EXPECT_EQ(InflateBytes(w.Bytes()).output, Text("ababa"));
}

TEST(DynamicBlocks, EmptyDistanceCodeStopsAtTheFirstLength) {
  const auto all = SmallCodeLengths(0);
  for (bool withLength : {false, true}) {
    BitWriter w;
    w.Put(1, 1).Put(2, 2);
    const DynamicCodes c = WriteDynamicHeader(w, 258, 2, PlainClLengths(), Plain(all), all);
    w.Code(c.lit['a'], 2).Code(c.lit['b'], 2);
    if (withLength) w.Code(c.lit[257], 2).Put(0, 1);
    w.Code(c.lit[256], 2);
    EXPECT_EQ(InflateBytes(w.Bytes()).output, withLength ? Bytes() : Text("ab"));
  }
}

TEST(DynamicBlocks, BadCodeLengthCodesAbandonTheBlock) {
  const auto all = SmallCodeLengths();
  std::vector<uint16_t> over(19, 1);  // 19 one-bit codes
  std::vector<uint16_t> incomplete(19, 0);
  incomplete[0] = incomplete[2] = 2;  // two of four 2-bit patterns
  for (const auto& cl : {over, incomplete}) {
    BitWriter w;
    w.Put(1, 1).Put(2, 2);
    WriteDynamicHeader(w, 258, 2, cl, {{0}, {2}, {0}}, {});
    for (int i = 0; i < 300; ++i) w.Put(0, 2);
    EXPECT_TRUE(InflateBytes(w.Bytes()).output.empty());
  }
}

TEST(DynamicBlocks, RepeatPastTheLastLengthAbandonsTheBlock) {
  BitWriter w;
  w.Put(1, 1).Put(2, 2);
  std::vector<ClStep> steps;
  for (int i = 0; i < 158; ++i) steps.push_back({1});  // 158 lengths of 1 ...
  steps.push_back({18, 127, 7});                        // ... then 138 zeros where 100 remain
  WriteDynamicHeader(w, 257, 1, RepeatClLengths(), steps, {});
  for (int i = 0; i < 100; ++i) w.Put(0, 8);
  EXPECT_TRUE(InflateBytes(w.Bytes()).output.empty());
}

TEST(DynamicBlocks, FixedDynamicFixedUsesTheCachedFixedTables) {
  BitWriter w;
  w.Put(0, 1).Put(1, 2).FixedSymbol('1').FixedSymbol(256);  // fixed: "1"
  w.Put(0, 1).Put(2, 2);                                     // dynamic: "ababa"
  const auto all = SmallCodeLengths();
  WriteSmallBody(w, WriteDynamicHeader(w, 258, 2, PlainClLengths(), Plain(all), all));
  w.Put(1, 1).Put(1, 2).FixedSymbol('2').FixedSymbol(257).FixedDistance(0).FixedSymbol(256);  // "2222"
  EXPECT_EQ(InflateBytes(w.Bytes()).output, Text("1ababa2222"));
  // A second entry builds its own tables (ASan would catch a reuse of the released ones).
  EXPECT_EQ(InflateBytes(w.Bytes()).output, Text("1ababa2222"));
}

TEST(EndOfData, DataEndingInsideABlockTerminatesAndFails) {
  // A fixed block without end whose data stop on a byte boundary after a code: the fill then
  // reads as one-bits, and 111111111 is literal 255, so it would decode for ever.
  BitWriter w;
  w.Put(1, 1).Put(1, 2);                           // last, fixed: 3 bits
  for (int i = 0; i < 5; ++i) w.FixedSymbol(200);  // 5 x 9 bits: 48 bits in all
  ASSERT_EQ(w.BitLength(), 48u);
  const EntryResult r = InflateBytes(w.Bytes());
  EXPECT_FALSE(r.ended);
  EXPECT_NE(r.crc, ZlibCrc(Bytes(5, 200)));

  // Real streams cut anywhere end too, and never pass their CRC check.
  const Bytes data = MakeData(DataKind::Mixed, 80000, 17);
  const Bytes full = ZlibDeflate(data, 6, 0);
  for (size_t cut = 0; cut < full.size(); cut += 997) {
    const Bytes part(full.begin(), full.begin() + long(cut));
    const EntryResult rc = InflateBytes(part);
    EXPECT_NE(rc.crc, ZlibCrc(data)) << "cut at " << cut;
    EXPECT_LE(rc.output.size(), data.size() + 300000u);
  }
}

TEST(EndOfData, FileEndingBeforeTheEntrySizeLeavesMinusOne) {
  const Bytes data = MakeData(DataKind::Text, 5000, 2);
  const Bytes full = ZlibDeflate(data, 9, 0);
  const Bytes part(full.begin(), full.begin() + long(full.size() / 2));
  const EntryResult r = InflateBytes(part, int64_t(full.size()));
  EXPECT_EQ(r.compressedLeft, -1);
  EXPECT_NE(r.crc, ZlibCrc(data));
}

TEST(EndOfData, EmptyEntryReadsNothing) {
  const EntryResult r = InflateBytes(Text("not read"), 0);
  EXPECT_TRUE(r.output.empty());
  EXPECT_EQ(r.crc, 0u);
  EXPECT_EQ(r.compressedLeft, 0);
}

TEST(InputChunks, ReadsNeverPassTheEntry) {
  EnsureCrcTable();
  TempFile in;
  in.Set(Bytes(70000 + 500, 0x5A));
  EntryInput input(in.fd, 70000);
  std::vector<int32_t> chunks;
  for (int i = 0; i < 70000; ++i) {
    ASSERT_EQ(NextInputByte(input), 0x5A);
    if (input.pos == 1) chunks.push_back(input.count);
  }
  EXPECT_EQ(chunks, (std::vector<int32_t>{32768, 32768, 4464}));
  EXPECT_EQ(lseek(in.fd, 0, SEEK_CUR), 70000);
  EXPECT_EQ(NextInputByte(input), -1);
  EXPECT_EQ(input.left, 0);
}

TEST(WriteFailure, FullDiskFailsTheEntry) {
  EnsureCrcTable();
  const Bytes data = MakeData(DataKind::Text, 100000, 8);
  const Bytes packed = ZlibDeflate(data, 6, 0);
  TempFile in;
  in.Set(packed);
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  {
    EntryInput input(in.fd, int32_t(packed.size()));
    EntryOutput output(full);
    Inflate(input, output);
    EXPECT_EQ(output.crc, 0xFFFFFFFFu);  // nothing reached the file, nothing was folded
  }
  close(full);
}

}  // namespace
