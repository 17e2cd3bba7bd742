// Traditional ZIP decryption: archives written by Info-ZIP `zip -P` (stored and deflated
// entries spanning several 32 KB chunks, written to a file and through a pipe) must open with
// their password and decode to the original files; the check-byte rules and the re-try rules.
#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include "archive/decrypt.h"
#include "archive/local_header.h"
#include "archive/extraction_run.h"
#include "support/entry_runner.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "util/bytes.h"

namespace {

struct CentralEntry {
  std::string name;
  uint32_t localOffset, compressedSize, crc;
  uint16_t method;
};

// The central directory holds the sizes even when the local headers do not (streamed output).
std::vector<CentralEntry> ReadCentralDirectory(const Bytes& zip) {
  std::vector<CentralEntry> entries;
  size_t end = zip.size() - 22;
  while (end > 0 && LoadLE32(&zip[end]) != 0x06054B50) --end;
  size_t p = LoadLE32(&zip[end + 16]);
  for (uint16_t n = LoadLE16(&zip[end + 10]); n-- > 0;) {
    CentralEntry e;
    e.method = LoadLE16(&zip[p + 10]);
    e.crc = LoadLE32(&zip[p + 16]);
    e.compressedSize = LoadLE32(&zip[p + 20]);
    const uint16_t nameLength = LoadLE16(&zip[p + 28]);
    e.localOffset = LoadLE32(&zip[p + 42]);
    e.name.assign(reinterpret_cast<const char*>(&zip[p + 46]), nameLength);
    entries.push_back(e);
    p += 46 + nameLength + LoadLE16(&zip[p + 30]) + LoadLE16(&zip[p + 32]);
  }
  return entries;
}

class InfoZipArchive : public testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    WriteFile(Path("text.txt"), MakeData(DataKind::Text, 150000, 1));     // deflated, 5 chunks
    WriteFile(Path("random.bin"), MakeData(DataKind::Random, 80000, 2));  // deflate gives stored blocks
    WriteFile(Path("small.txt"), MakeData(DataKind::Text, 700, 3));
    const std::string files = "text.txt random.bin small.txt";
    const std::string cd = "cd " + dir_->path() + " && touch -d '2021-06-15 13:45:10' " + files + " && ";
    ASSERT_EQ(std::system((cd + "zip -q -P pw file.zip " + files).c_str()), 0);
    ASSERT_EQ(std::system((cd + "zip -q -P pw - " + files + " | cat > pipe.zip").c_str()), 0);
    ASSERT_EQ(std::system((cd + "zip -q -0 -P 'long pass word' stored.zip " + files).c_str()), 0);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Path(const std::string& name) { return dir_->Path(name); }

  // Opens every entry of the archive with the password and checks the decoded bytes.
  static void ExpectEntriesDecode(const std::string& zipName, const char* password, bool expectStored,
                                  bool expectDeflated) {
    EnsureCrcTable();
    const Bytes zip = ReadFile(Path(zipName));
    TempFile archive, out;
    archive.Set(zip);
    bool sawStored = false, sawDeflated = false;
    for (const CentralEntry& e : ReadCentralDirectory(zip)) {
      SCOPED_TRACE(zipName + ": " + e.name);
      ASSERT_EQ(FileSeek(archive.fd, int32_t(e.localOffset)), int32_t(e.localOffset));
      uint8_t fixed[LocalHeaderSize];
      ASSERT_EQ(FileRead(archive.fd, fixed, LocalHeaderSize), int32_t(LocalHeaderSize));
      LocalFileHeader h = DecodeLocalHeader(fixed);
      ASSERT_TRUE(h.Flags & FlagEncrypted);
      ASSERT_TRUE(h.Flags & FlagDataDescriptor);  // Info-ZIP checks against the time
      FileSeek(archive.fd, int32_t(e.localOffset + LocalHeaderSize + h.NameLength + h.ExtraLength));
      uint8_t header[24];
      CipherKeys keys;
      ASSERT_EQ(FileRead(archive.fd, header + 12, 12), 12);
      ASSERT_TRUE(DecryptHeader(keys, header, 12, h.Flags, h.Crc32, h.ModTime | (uint32_t(h.ModDate) << 16), password));
      out.Set({});
      h.CompressedSize = e.compressedSize;
      h.Crc32 = e.crc;
      bool decoded;
      {
        EntryInput input(archive.fd, EntryDataSize(h), &keys);
        EntryOutput output(out.fd);
        decoded = DecodeEntry(h, input, output);
      }
      sawStored |= e.method == 0;
      sawDeflated |= e.method == 8;
      EXPECT_TRUE(decoded);
      EXPECT_TRUE(out.Contents() == ReadFile(Path(e.name)));
    }
    EXPECT_EQ(sawStored, expectStored);
    EXPECT_EQ(sawDeflated, expectDeflated);
  }

  static TempDir* dir_;  // one for the suite: the archives are made once
};
TempDir* InfoZipArchive::dir_ = nullptr;

TEST_F(InfoZipArchive, EntriesWrittenToAFileDecode) { ExpectEntriesDecode("file.zip", "pw", false, true); }
TEST_F(InfoZipArchive, EntriesStreamedWithDataDescriptorsDecode) { ExpectEntriesDecode("pipe.zip", "pw", false, true); }
TEST_F(InfoZipArchive, StoredEntriesWithLongerPasswordDecode) {
  ExpectEntriesDecode("stored.zip", "long pass word", true, false);
}

TEST_F(InfoZipArchive, RetryDecryptsFromTheStoredHeaderCopy) {
  EnsureCrcTable();
  const Bytes zip = ReadFile(Path("file.zip"));
  const CentralEntry e = ReadCentralDirectory(zip).front();
  uint8_t header[24];
  const LocalFileHeader h = DecodeLocalHeader(&zip[e.localOffset]);
  std::copy_n(&zip[e.localOffset + LocalHeaderSize + h.NameLength + h.ExtraLength], 12, header + 12);
  const Bytes stored(header + 12, header + 24);
  const uint32_t timeDate = h.ModTime | (uint32_t(h.ModDate) << 16);
  CipherKeys keys;
  int wrongPassed = 0;
  for (int i = 0; i < 64; ++i) {
    const std::string wrong = "wrong" + std::to_string(i);
    wrongPassed += DecryptHeader(keys, header, 12, h.Flags, h.Crc32, timeDate, wrong.c_str());
  }
  EXPECT_LE(wrongPassed, 4);  // one in 256 passes the single check byte by chance
  EXPECT_TRUE(Bytes(header + 12, header + 24) == stored);
  EXPECT_TRUE(DecryptHeader(keys, header, 12, h.Flags, h.Crc32, timeDate, "pw"));
}

TEST(DecryptKeys, StartValuesAndEmptyPassword) {
  EnsureCrcTable();
  CipherKeys keys;
  InitKeys(keys, "");
  EXPECT_EQ(keys.Key0, 0x12345678u);
  EXPECT_EQ(keys.Key1, 0x23456789u);
  EXPECT_EQ(keys.Key2, 0x34567890u);
  const uint8_t first = DecryptByte(keys);
  EXPECT_EQ(DecryptByte(keys), first);  // reading the key stream does not advance it
  keys = {1, 2, 3};
  uint8_t header[24] = {};
  EXPECT_FALSE(DecryptHeader(keys, header, 12, 0, 0, 0, ""));
  EXPECT_EQ(keys.Key0, 1u);  // an empty password changes nothing
  EXPECT_EQ(keys.Key2, 3u);
}

// Enciphers a header whose last plain byte is `check` (the writer's side of the scheme).
void MakeHeader(uint8_t* header, uint8_t check, const char* password) {
  CipherKeys keys;
  InitKeys(keys, password);
  for (int i = 0; i < 12; ++i) {
    const uint8_t plain = i == 11 ? check : uint8_t(i * 37);
    header[12 + i] = uint8_t(plain ^ DecryptByte(keys));
    UpdateKeys(keys, plain);
  }
}

TEST(DecryptKeys, CheckByteIsCrcHighByteOrTimeHighByteWithDataDescriptor) {
  EnsureCrcTable();
  uint8_t header[24];
  MakeHeader(header, 0xA7, "secret");
  CipherKeys keys;
  const uint32_t crcA7 = 0xA7123456, crcOther = 0x5A123456;
  const uint32_t timeA7 = 0x4321A700, timeOther = 0x43215A00;  // date high, time low
  EXPECT_TRUE(DecryptHeader(keys, header, 12, 0, crcA7, timeOther, "secret"));
  EXPECT_FALSE(DecryptHeader(keys, header, 12, 0, crcOther, timeA7, "secret"));
  EXPECT_TRUE(DecryptHeader(keys, header, 12, FlagDataDescriptor, crcOther, timeA7, "secret"));
  EXPECT_FALSE(DecryptHeader(keys, header, 12, FlagDataDescriptor, crcA7, timeOther, "secret"));
}

}  // namespace
