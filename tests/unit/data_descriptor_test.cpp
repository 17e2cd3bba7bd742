// Finding where an entry ends when its local header leaves that to a data descriptor or to
// ZIP64 fields: descriptors with and without signature, deferred sizes found by scanning,
// false matches inside the data, the end of the file, and sizes beyond 32-bit positions.
#include <gtest/gtest.h>
#include <fstream>
#include <string>
#include "archive/data_descriptor.h"
#include "archive/local_header.h"
#include "support/temp_dir.h"

namespace {

std::string LE32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string LE64(uint64_t v) { return LE32(uint32_t(v)) + LE32(uint32_t(v >> 32)); }
const std::string LocalSig = LE32(ZipLocalHeaderSignature);
const std::string CentralSig = LE32(ZipCentralHeaderSignature);
const std::string DescSig = LE32(DataDescriptorSignature);

std::string Descriptor(uint32_t crc, uint32_t size, bool signature) {
  return (signature ? DescSig : "") + LE32(crc) + LE32(size) + LE32(size);
}

bool Known(const EntryExtent& e) { return e.status == ExtentStatus::Known; }

class ExtentTest : public ::testing::Test {
protected:
  // Writes header bytes (their content does not matter here) + data + tail and makes the file
  // the archive; the header gets flags, CRC and sizes.
  EntryExtent Find(uint16_t flags, uint32_t crc, uint32_t size, const std::string& data, const std::string& tail,
                   const std::string& extra = "", uint32_t uncompressed = 0) {
    const std::string path = dir_.Path("a.zip");
    std::ofstream(path, std::ios::binary) << std::string(30, 'h') << extra << data << tail;
    const FileHandle file = FileOpenRead(path.c_str());
    LocalFileHeader header{};
    header.Flags = flags;
    header.Crc32 = crc;
    header.CompressedSize = size;
    header.UncompressedSize = uncompressed;
    header.ExtraLength = uint16_t(extra.size());
    const EntryExtent e = FindEntryExtent(file, header, int32_t(30 + extra.size()),
                                          reinterpret_cast<const uint8_t*>(extra.data()), uint32_t(extra.size()));
    FileClose(file);
    return e;
  }
  TempDir dir_;
};

TEST_F(ExtentTest, HeaderWithoutDescriptorFlagStands) {
  const EntryExtent e = Find(0, 0x1234, 5, "hello", LocalSig + "rest");
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.compressedSize, 5u);
  EXPECT_EQ(e.crc32, 0x1234u);
  EXPECT_EQ(e.nextHeader, 35);
}

TEST_F(ExtentTest, DescriptorAfterKnownSizeIsSteppedOver) {
  // Info-ZIP's encrypted entries: sizes and CRC in the header and in a signed descriptor.
  EntryExtent e = Find(FlagDataDescriptor, 0xAABBCCDD, 5, "hello", Descriptor(0xAABBCCDD, 5, true) + LocalSig);
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.nextHeader, 35 + 16);
  // Without its signature it counts only when a header follows it.
  e = Find(FlagDataDescriptor, 7, 5, "hello", Descriptor(7, 5, false) + CentralSig);
  EXPECT_EQ(e.nextHeader, 35 + 12);
  e = Find(FlagDataDescriptor, 7, 5, "hello", Descriptor(7, 5, false) + "junk");
  EXPECT_EQ(e.nextHeader, 35);
  // No descriptor at all: the walk goes on right after the data.
  e = Find(FlagDataDescriptor, 7, 5, "hello", LocalSig);
  EXPECT_EQ(e.nextHeader, 35);
}

TEST_F(ExtentTest, WrongStatedSizeFallsBackToTheScan) {
  // A stored entry encrypted on the fly (zip -P to a pipe): the header states the plain size
  // (6) and a check value in the CRC field; the data hold 12 more bytes of encryption header.
  const std::string data(18, 'e');
  const EntryExtent e = Find(FlagDataDescriptor, 0x69580000, 6, data, Descriptor(0xC0FFEE, 18, true) + LocalSig);
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.compressedSize, 18u);
  EXPECT_EQ(e.crc32, 0xC0FFEEu);
  EXPECT_EQ(e.nextHeader, 30 + 18 + 16);
}

TEST_F(ExtentTest, ZeroCrcInTheHeaderIsTakenFromTheDescriptor) {
  EntryExtent e = Find(FlagDataDescriptor, 0, 5, "hello", Descriptor(0x3610A686, 5, true) + LocalSig);
  EXPECT_EQ(e.crc32, 0x3610A686u);
  e = Find(FlagDataDescriptor, 0x11111111, 5, "hello", Descriptor(0x3610A686, 5, true) + LocalSig);
  EXPECT_EQ(e.crc32, 0x11111111u) << "a CRC the header holds stands";
}

TEST_F(ExtentTest, DeferredSizesAreFoundByScanning) {
  for (bool signature : {true, false}) {
    const EntryExtent e = Find(FlagDataDescriptor, 0, 0, "some data", Descriptor(0x55, 9, signature) + LocalSig);
    ASSERT_TRUE(Known(e)) << signature;
    EXPECT_EQ(e.compressedSize, 9u);
    EXPECT_EQ(e.crc32, 0x55u);
    EXPECT_EQ(e.nextHeader, 30 + 9 + (signature ? 16 : 12));
  }
}

TEST_F(ExtentTest, FalseDescriptorInsideTheDataIsPassedOver) {
  // A signature inside the data whose size field does not match its position.
  const std::string data = "ab" + Descriptor(1, 999, true) + LocalSig + "cd";
  const EntryExtent e = Find(FlagDataDescriptor, 0, 0, data, Descriptor(2, uint32_t(data.size()), true) + CentralSig);
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.compressedSize, data.size());
  EXPECT_EQ(e.crc32, 2u);
}

TEST_F(ExtentTest, DescriptorAtTheVeryEndOfTheFile) {
  EntryExtent e = Find(FlagDataDescriptor, 0, 0, "xyz", Descriptor(3, 3, true));
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.nextHeader, 30 + 3 + 16);
  e = Find(FlagDataDescriptor, 0, 0, "xyz", Descriptor(3, 3, false));
  EXPECT_FALSE(Known(e)) << "an unsigned descriptor needs a header after it";
  e = Find(FlagDataDescriptor, 0, 0, "xyz", "");
  EXPECT_FALSE(Known(e));
}

TEST_F(ExtentTest, ZeroLengthEntries) {
  const EntryExtent e = Find(FlagDataDescriptor, 0, 0, "", Descriptor(0, 0, true) + LocalSig);
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.compressedSize, 0u);
  EXPECT_EQ(e.nextHeader, 30 + 16);
}

TEST_F(ExtentTest, ScanCrossesItsBufferBoundaries) {
  for (size_t size : {size_t(65535 - 16), size_t(65536 - 12), size_t(65536), size_t(65540), size_t(200000)}) {
    const std::string data(size, 'q');
    const EntryExtent e = Find(FlagDataDescriptor, 0, 0, data, Descriptor(9, uint32_t(size), size % 2 == 0) + LocalSig);
    ASSERT_TRUE(Known(e)) << size;
    EXPECT_EQ(e.compressedSize, size);
  }
}

TEST_F(ExtentTest, Zip64SizesFromTheExtraField) {
  const std::string zip64 = std::string("\x01\x00\x10\x00", 4) + LE64(5) + LE64(5);
  EntryExtent e = Find(0, 9, 0xFFFFFFFF, "hello", LocalSig, zip64, 0xFFFFFFFF);
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.compressedSize, 5u);
  EXPECT_EQ(e.nextHeader, int32_t(30 + zip64.size() + 5));
  // Streamed with ZIP64: zero sizes in the field, a descriptor with 8-byte sizes.
  const std::string zeros = std::string("\x01\x00\x10\x00", 4) + LE64(0) + LE64(0);
  e = Find(FlagDataDescriptor, 0, 0xFFFFFFFF, "hello", DescSig + LE32(4) + LE64(5) + LE64(5) + LocalSig, zeros,
           0xFFFFFFFF);
  ASSERT_TRUE(Known(e));
  EXPECT_EQ(e.compressedSize, 5u);
  EXPECT_EQ(e.crc32, 4u);
}

TEST_F(ExtentTest, SizesBeyondPositionsOrMissingFieldsAreTooFar) {
  const std::string huge = std::string("\x01\x00\x10\x00", 4) + LE64(5) + LE64(uint64_t(1) << 32);
  EXPECT_EQ(Find(0, 0, 0xFFFFFFFF, "hello", LocalSig, huge, 0xFFFFFFFF).status, ExtentStatus::TooFar);
  EXPECT_EQ(Find(0, 0, 0xFFFFFFFF, "hello", LocalSig, "", 0xFFFFFFFF).status, ExtentStatus::TooFar)
      << "never a seek from 0xFFFFFFFF";
  EXPECT_EQ(Find(0, 0, 0x90000000, "hello", LocalSig).status, ExtentStatus::TooFar);
}

}  // namespace
