// CRC-32: the table's check values, the standard check string, and the sixteen-byte fold of
// UpdateCrc against zlib at every length and alignment (a slicing fault shows at some of them).
#include <gtest/gtest.h>
#include <zlib.h>
#include "app/state.h"
#include "archive/crc32.h"
#include "inflate/bit_reader.h"
#include "support/entry_runner.h"
#include "support/test_data.h"

namespace {

TEST(CrcTable, KnownEntries) {
  EnsureCrcTable();
  EXPECT_EQ(CrcTable[0], 0u);
  EXPECT_EQ(CrcTable[1], 0x77073096u);
  EXPECT_EQ(CrcTable[128], 0xEDB88320u);
  EXPECT_EQ(CrcTable[255], 0x2D02EF8Du);
}

TEST(CrcFold, CheckString) {
  EnsureCrcTable();
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  uint32_t crc = 0xFFFFFFFF;
  UpdateCrc(text, 9, crc);
  EXPECT_EQ(~crc, 0xCBF43926u);
  uint32_t stepped = 0xFFFFFFFF;
  for (uint8_t b : text) stepped = CrcStep(b, stepped);
  EXPECT_EQ(stepped, crc);
}

TEST(CrcFold, EveryLengthAndAlignmentMatchesZlib) {
  EnsureCrcTable();
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

TEST(CrcFold, NothingOrNegativeCountLeavesTheRegister) {
  EnsureCrcTable();
  const uint8_t b = 1;
  uint32_t crc = 0xFFFFFFFF;
  UpdateCrc(&b, 0, crc);
  UpdateCrc(&b, -5, crc);
  EXPECT_EQ(crc, 0xFFFFFFFFu);  // complement 0: the CRC-32 of empty data
}

}  // namespace
