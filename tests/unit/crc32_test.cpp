// CRC-32: the table's check values, the standard check string, and both folds (the stub's one
// lane, the native build's two) against zlib at every length and alignment (a slicing fault
// shows at some of them, a lane fault around the lanes' joins).
#include <gtest/gtest.h>
#include <zlib.h>
#include "util/crc32.h"
#include "support/entry_runner.h"
#include "support/test_data.h"

namespace {

TEST(CrcTable, KnownEntries) {
  EnsureCrcTable();
  EXPECT_EQ(CrcSlices[0][0], 0u);
  EXPECT_EQ(CrcSlices[0][1], 0x77073096u);
  EXPECT_EQ(CrcSlices[0][128], 0xEDB88320u);
  EXPECT_EQ(CrcSlices[0][255], 0x2D02EF8Du);
}

TEST(CrcCheck, CheckString) {
  EnsureCrcTable();
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  uint32_t crc = 0xFFFFFFFF;
  UpdateCrc(text, 9, crc);
  EXPECT_EQ(~crc, 0xCBF43926u);
  uint32_t stepped = 0xFFFFFFFF;
  for (uint8_t b : text) stepped = CrcStep(b, stepped);
  EXPECT_EQ(stepped, crc);
}

using Fold = void (*)(const uint8_t*, int32_t, uint32_t&);
class CrcFold : public testing::TestWithParam<Fold> {};
INSTANTIATE_TEST_SUITE_P(BothLanes, CrcFold, testing::Values(UpdateCrcOneLane, UpdateCrcTwoLanes));

TEST_P(CrcFold, EveryLengthAndAlignmentMatchesZlib) {
  EnsureCrcTable();
  const Fold UpdateCrc = GetParam();
  const Bytes data = MakeData(DataKind::Random, 400, 5);
  for (uint32_t offset = 0; offset < 16; ++offset)
    for (int32_t n = 0; n + offset <= 400; ++n) {
      uint32_t crc = 0x12345678;  // any register: the fold neither presets nor complements
      UpdateCrc(data.data() + offset, n, crc);
      const uint32_t expected = ~uint32_t(crc32(~0x12345678u, data.data() + offset, uInt(n)));
      ASSERT_EQ(crc, expected) << "offset " << offset << " length " << n;
    }
  // Around the two-lane size (a window) and its multiples, where the lanes are joined.
  const Bytes big = MakeData(DataKind::Random, 3 * 32768 + 40, 6);
  for (int32_t n : {32767, 32768, 32769, 32768 + 15, 65536, 65536 + 17, 3 * 32768 + 40}) {
    uint32_t crc = 0x12345678;
    UpdateCrc(big.data(), n, crc);
    ASSERT_EQ(crc, ~uint32_t(crc32(~0x12345678u, big.data(), uInt(n)))) << "length " << n;
  }
}

TEST_P(CrcFold, NothingOrNegativeCountLeavesTheRegister) {
  EnsureCrcTable();
  const Fold UpdateCrc = GetParam();
  const uint8_t b = 1;
  uint32_t crc = 0xFFFFFFFF;
  UpdateCrc(&b, 0, crc);
  UpdateCrc(&b, -5, crc);
  EXPECT_EQ(crc, 0xFFFFFFFFu);  // complement 0: the CRC-32 of empty data
}

}  // namespace
