// Options block (composed and read back) and locator on real files.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include "app/state.h"
#include "package/locator.h"
#include "package/options_block.h"
#include "support/temp_dir.h"

namespace {

// The block as composed over bytes that are not zero, so that a byte left unwritten shows.
std::string Block(const char* options, const char* path) {
  uint8_t block[OptionsBlockSize];
  std::fill(block, block + sizeof block, 0xEE);
  EXPECT_TRUE(ComposeOptionsBlock(options, path, block));
  return std::string(reinterpret_cast<char*>(block), sizeof block);
}

TEST(OptionsBlock, FlagsArePaddedCutAndCopiedUnchecked) {
  const struct {
    const char* options;
    const char* flags;
  } cases[] = {
      {"1101", "1101"}, {"11", "1100"}, {"", "0000"}, {"101011", "1010"},
      {"abcd", "abcd"},  // lower case stays: only "options=" is upper-cased
  };
  for (const auto& c : cases) {
    const std::string b = Block(c.options, "");
    EXPECT_EQ(b.substr(0, 13), std::string("OPTIONS=") + c.flags + " ") << c.options;
    EXPECT_EQ(b.substr(13), std::string(OptionsBlockSize - 13, '\0')) << c.options;
  }
}

TEST(OptionsBlock, ExtractPathFollowsTheBlank) {
  const std::string b = Block("1", "C:\\Tools");
  EXPECT_EQ(b.substr(0, 21), "OPTIONS=1000 C:\\Tools");
  EXPECT_EQ(b.substr(21), std::string(235, '\0'));
}

TEST(OptionsBlock, ExtractPathLimits) {
  const std::string longest(MaxExtPathLength, 'p');
  const std::string b = Block("0000", longest.c_str());
  EXPECT_EQ(b.substr(13), longest);  // fills the block to its last byte
  uint8_t block[OptionsBlockSize + 8];
  std::fill(block, block + sizeof block, 0xAA);
  EXPECT_FALSE(ComposeOptionsBlock("1111", (longest + "p").c_str(), block));
  for (uint8_t byte : block) ASSERT_EQ(byte, 0xAA);  // refused before anything was written

  ResetExtractorState();
  ReadOptionsBlock(reinterpret_cast<const uint8_t*>(b.data()));
  EXPECT_EQ(std::string(OptExtractPath), std::string(241, 'p'));  // offsets 254 and 255 never count
  ResetExtractorState();
}

TEST(OptionsBlock, ReaderTakesBackWhatTheBuilderWrote) {
  const struct {
    const char* options;
    const char* path;
    bool autoStart, autoClose, runSetup, tempDir;
  } cases[] = {
      {"1101", "C:\\Tools", true, true, false, true},
      {"1010", "Setup", true, false, true, false},
      {"abcd", "", false, false, false, false},  // only the character '1' switches a flag on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    ResetExtractorState();
    ReadOptionsBlock(reinterpret_cast<const uint8_t*>(Block(c.options, c.path).data()));
    EXPECT_EQ(OptAutoStart, c.autoStart);
    EXPECT_EQ(OptAutoClose, c.autoClose);
    EXPECT_EQ(OptRunSetup, c.runSetup);
    EXPECT_EQ(OptTempDir, c.tempDir);
    EXPECT_STREQ(OptExtractPath, c.path);
  }
  ResetExtractorState();
}

const std::string Local = std::string("PK\3\4", 4);

std::string Stub(size_t blocks) {
  std::string s(blocks * 256, 'S');
  s.replace(100, 4, Local);  // the signature at an unaligned offset is never seen
  return s;
}

std::string Archive(size_t size) {
  std::string zip = Local + std::string(size - 4, 'z');
  return zip;
}

class LocatorTest : public ::testing::Test {
protected:
  void SetUp() override { ResetExtractorState(); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  TempDir dir_;
};

TEST_F(LocatorTest, BareStubAndOddSizedFilesHaveNoArchive) {
  EXPECT_EQ(LocateArchive(Write("stub.exe", Stub(20)).c_str(), false), 0);
  EXPECT_EQ(LocateArchive(Write("odd.exe", Stub(3) + "PK").c_str(), true), 0);
  EXPECT_FALSE(OptAutoStart);
  EXPECT_STREQ(OptExtractPath, "");
  // A file that is itself a ZIP archive has no options block in front of it.
  EXPECT_EQ(LocateArchive(Write("plain.zip", Archive(1000)).c_str(), false), 0);
}

TEST_F(LocatorTest, PackageGivesStubLengthPlusOptionsBlock) {
  const std::string path = Write("tools.exe", Stub(20) + Block("1010", "C:\\Setup") + Archive(700));
  EXPECT_EQ(LocateArchive(path.c_str(), false), 20 * 256 + 256);
  EXPECT_TRUE(OptAutoStart);
  EXPECT_TRUE(OptRunSetup);
  EXPECT_FALSE(OptAutoClose);
  EXPECT_STREQ(OptExtractPath, "C:\\Setup");
}

TEST_F(LocatorTest, DumpReproducesTheAppendedArchive) {
  for (size_t size : {size_t(512), size_t(700), size_t(5)}) {
    const std::string zip = Archive(size);
    const std::string path = Write("pkg.exe", Stub(4) + Block("", "") + zip);
    ::unlink(dir_.Path("pkg_.zip").c_str());
    EXPECT_EQ(LocateArchive(path.c_str(), false), 4 * 256 + 256);
    EXPECT_FALSE(Exists(dir_.Path("pkg_.zip")));
    EXPECT_EQ(LocateArchive(path.c_str(), true), 4 * 256 + 256);
    EXPECT_EQ(ReadFile(dir_.Path("pkg_.zip")), Bytes(zip.begin(), zip.end())) << size;
  }
}

TEST_F(LocatorTest, DumpThatCannotBeCreatedLeavesTheResult) {
  const std::string path = Write("pkg.exe", Stub(4) + Block("0100", "x") + Archive(300));
  ASSERT_EQ(::mkdir(dir_.Path("pkg_.zip").c_str(), 0755), 0);  // a directory is in the way
  EXPECT_EQ(LocateArchive(path.c_str(), true), 4 * 256 + 256);
  EXPECT_TRUE(OptAutoClose);
  EXPECT_STREQ(OptExtractPath, "x");
}

using LocatorDeathTest = LocatorTest;

TEST_F(LocatorDeathTest, DumpThatCannotBeWrittenIsFatal) {
  const std::string path = Write("pkg.exe", Stub(4) + Block("", "") + Archive(300));
  // Created, but it takes only 100 bytes: a file-size limit in the child that runs the statement.
  const auto limited = [&] {
    const rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    LocateArchive(path.c_str(), true);
  };
  EXPECT_EXIT(limited(), ::testing::ExitedWithCode(EFBIG), "Runtime error +27 at");
}

TEST_F(LocatorTest, ScanStopsWhereBlockPositionsLeaveThirtyTwoBits) {
  // The last block examined starts at 2^31 - 256; one at 2^31 would be beyond every 32-bit
  // position. The scan starts near the end of a sparse file, so it reads only a few blocks.
  const int64_t limit = int64_t(1) << 31;
  for (const int64_t signatureAt : {limit - 256, limit}) {
    const int fd = ::open(dir_.Path("big.exe").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, limit + 512), 0);
    ASSERT_EQ(::pwrite(fd, Local.data(), 4, signatureAt), 4);
    const int32_t from = int32_t(limit - 512);
    ASSERT_EQ(FileSeek(fd, from), from);
    EXPECT_EQ(FindArchiveOffset(fd, from), signatureAt < limit ? int32_t(signatureAt) : 0) << signatureAt;
    ::close(fd);
  }
  // A failed read is neither an offset nor "no archive".
  const int writeOnly = ::open(Write("stub.exe", Stub(2)).c_str(), O_WRONLY);
  EXPECT_EQ(FindArchiveOffset(writeOnly, 0), -1);
  ::close(writeOnly);
}

}  // namespace
