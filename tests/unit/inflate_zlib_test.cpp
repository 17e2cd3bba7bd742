// Differential tests: inputs of every kind, compressed by zlib at every level and strategy (raw
// deflate), must come out of InflateEntry exactly as zlib's inflate gives them, CRC-32 included.
// The data pass through real files, so the 32 KB input chunks and the window wrap are crossed.
#include <gtest/gtest.h>
#include <zlib.h>
#include "support/entry_runner.h"
#include "support/test_data.h"

namespace {

constexpr int AllStrategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};

// Decodes the stream with Zelvix and with zlib; both must give `original`.
void ExpectSameAsZlib(const Bytes& original, const Bytes& compressed, const std::string& what) {
  Bytes reference;
  ASSERT_TRUE(ZlibInflate(compressed, reference)) << what;
  ASSERT_EQ(reference, original) << what;
  const EntryResult r = InflateBytes(compressed);
  ASSERT_EQ(r.output.size(), original.size()) << what;
  ASSERT_TRUE(r.output == original) << what;
  ASSERT_EQ(r.crc, ZlibCrc(original)) << what;
  ASSERT_EQ(r.compressedLeft, 0) << what;  // the stream used the entry's bytes exactly
}

TEST(InflateMatchesZlib, SmallInputsAtEveryLevelAndStrategy) {
  TestRandom rnd(1);
  int runs = 0;
  for (int i = 0; i < 700; ++i) {
    const DataKind kind = AllDataKinds[i % 6];
    const size_t size = i < 40 ? size_t(i) : 1 + rnd.Below(i % 7 == 0 ? 20000 : 3000);
    const Bytes data = MakeData(kind, size, 1000 + i);
    for (int c = 0; c < 4; ++c) {  // four of the 50 level/strategy pairs, rotating
      const int combo = (i * 4 + c) % 50;
      const int level = combo % 10, strategy = AllStrategies[combo / 10];
      ExpectSameAsZlib(data, ZlibDeflate(data, level, strategy),
                       "input " + std::to_string(i) + " level " + std::to_string(level) + " strategy " +
                           std::to_string(strategy));
      ++runs;
    }
  }
  EXPECT_EQ(runs, 2800);
}

TEST(InflateMatchesZlib, SizesAroundTheWindowAndChunkSizes) {
  const size_t sizes[] = {32767, 32768, 32769, 65535, 65536, 65537, 100000};
  int i = 0;
  for (size_t size : sizes)
    for (DataKind kind : AllDataKinds) {
      const Bytes data = MakeData(kind, size, 7 + size);
      const int strategy = AllStrategies[i % 5];
      for (int level : {0, 1, 6, 9})
        ExpectSameAsZlib(data, ZlibDeflate(data, level, strategy),
                         "size " + std::to_string(size) + " kind " + std::to_string(int(kind)) + " level " +
                             std::to_string(level));
      ++i;
    }
}

TEST(InflateMatchesZlib, ChunkBoundaryFallsOnEveryPositionOfTheCodes) {
  // A stored prefix pushes the compressed rest across the first 32 KB chunk end by one more
  // byte each time: the refill then happens inside literal codes, lengths, distances, extra
  // bits and dynamic block headers in turn.
  const Bytes rest = MakeData(DataKind::Mixed, 6000, 99);
  for (uint32_t prefix = 32768 - 1400; prefix < 32768 - 1100; ++prefix) {
    Bytes data = MakeData(DataKind::Random, prefix, prefix);
    data.insert(data.end(), rest.begin(), rest.end());
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 0, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(data.size() * 2 + 1024);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    z.next_in = data.data();
    z.avail_in = prefix;
    ASSERT_EQ(deflate(&z, Z_NO_FLUSH), Z_OK);
    ASSERT_EQ(deflateParams(&z, 9, (prefix & 1) ? Z_DEFAULT_STRATEGY : Z_FIXED), Z_OK);
    z.avail_in = uInt(rest.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    ASSERT_GT(out.size(), 32768u);
    ExpectSameAsZlib(data, out, "prefix " + std::to_string(prefix));
  }
}

TEST(InflateMatchesZlib, LongStreamsOfManyBlocks) {
  for (DataKind kind : AllDataKinds) {
    const Bytes data = MakeData(kind, 400000, 4242 + int(kind));
    ExpectSameAsZlib(data, ZlibDeflate(data, 6, Z_DEFAULT_STRATEGY), "kind " + std::to_string(int(kind)));
  }
}

}  // namespace
