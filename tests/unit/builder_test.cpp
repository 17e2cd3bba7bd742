// Package builder, portable part: the package name rule, the options block as the builders
// compose it, the 32 KB copy loop and the package layout written by WritePackage.
#include <gtest/gtest.h>
#include "support/files.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/state.h"
#include "package/builder.h"
#include "package/locator.h"
#include "package/options_block.h"

namespace {


std::string TempDir() { return ScratchDir("builder_test"); }

// Bytes that differ from block to block, so a misplaced or repeated copy unit shows.
Bytes Pattern(size_t size, uint32_t seed) {
  Bytes data(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    data[i] = uint8_t(seed >> 16);
  }
  return data;
}

std::string PackageName(const char* zipName) {
  char out[64];
  EXPECT_TRUE(MakePackageName(zipName, out, sizeof out)) << zipName;
  return out;
}

Bytes Compose(const char* options, const char* extPath) {
  Bytes block(OptionsBlockSize, 0xEE);
  EXPECT_TRUE(ComposeOptionsBlock(options, extPath, block.data()));
  return block;
}

std::string Text(const Bytes& block, size_t from, size_t count) {
  return std::string(block.begin() + long(from), block.begin() + long(from + count));
}

bool ZeroFrom(const Bytes& block, size_t from) {
  for (size_t i = from; i < block.size(); ++i)
    if (block[i] != 0) return false;
  return true;
}

TEST(PackageNameRule, ReplacesEverythingAfterTheLastDot) {
  EXPECT_EQ(PackageName("archive.zip"), "archive.exe");
  EXPECT_EQ(PackageName("C:\\dl\\tools.v2.zip"), "C:\\dl\\tools.v2.exe");
  EXPECT_EQ(PackageName("archive."), "archive.exe");
  EXPECT_EQ(PackageName("archive.z"), "archive.exe");
}

TEST(PackageNameRule, RemovalRunsBackIntoTheDirectory) {
  EXPECT_EQ(PackageName("my.files\\data"), "my.exe");
  EXPECT_EQ(PackageName("my.files/data"), "my.exe");
  EXPECT_EQ(PackageName(".\\archive"), ".exe");
}

TEST(PackageNameRule, NameWithoutDotGivesExe) {
  EXPECT_EQ(PackageName("archive"), "exe");
  EXPECT_EQ(PackageName("C:\\dir\\archive"), "exe");
  EXPECT_EQ(PackageName(""), "exe");
}

TEST(PackageNameRule, DestinationSizeIsNeverExceeded) {
  // "a.zip" gives "a.exe": five characters and the terminator.
  char exact[6];
  EXPECT_TRUE(MakePackageName("a.zip", exact, sizeof exact));
  EXPECT_STREQ(exact, "a.exe");
  char small[7] = {'#', '#', '#', '#', '#', '#', '#'};
  EXPECT_FALSE(MakePackageName("ab.zip", small, 6));
  EXPECT_STREQ(small, "");
  EXPECT_EQ(small[6], '#');
  // The name can grow by three characters: "a." gives "a.exe".
  char grow[5];
  EXPECT_FALSE(MakePackageName("a.", grow, sizeof grow));
}

TEST(OptionsBlockComposition, FlagsArePaddedCutAndCopiedUnchecked) {
  EXPECT_EQ(Text(Compose("1101", ""), 0, 13), "OPTIONS=1101 ");
  EXPECT_EQ(Text(Compose("11", ""), 0, 13), "OPTIONS=1100 ");
  EXPECT_EQ(Text(Compose("", ""), 0, 13), "OPTIONS=0000 ");
  EXPECT_EQ(Text(Compose("110110", ""), 0, 13), "OPTIONS=1101 ");
  // Lower case stays: only "options=" is upper-cased.
  EXPECT_EQ(Text(Compose("abcd", ""), 0, 13), "OPTIONS=abcd ");
}

TEST(OptionsBlockComposition, DefaultBlockIsThirteenBytesThenZeros) {
  const Bytes block = Compose("", "");
  EXPECT_EQ(Text(block, 0, 13), "OPTIONS=0000 ");
  EXPECT_TRUE(ZeroFrom(block, 13));
}

TEST(OptionsBlockComposition, ExtractPathFollowsTheBlank) {
  const Bytes block = Compose("1", "C:\\Tools");
  EXPECT_EQ(Text(block, 0, 21), "OPTIONS=1000 C:\\Tools");
  EXPECT_TRUE(ZeroFrom(block, 21));
}

TEST(OptionsBlockComposition, LongestPathFillsTheBlockExactly) {
  const std::string path(MaxExtPathLength, 'p');
  const Bytes block = Compose("0001", path.c_str());
  EXPECT_EQ(Text(block, 13, MaxExtPathLength), path);
  EXPECT_EQ(block[OptionsBlockSize - 1], 'p');
}

TEST(OptionsBlockComposition, PathOneCharacterTooLongIsRefusedWithoutWriting) {
  const std::string path(MaxExtPathLength + 1, 'p');
  Bytes block(OptionsBlockSize + 8, 0xEE);
  EXPECT_FALSE(ComposeOptionsBlock("1111", path.c_str(), block.data()));
  for (uint8_t b : block) ASSERT_EQ(b, 0xEE);
}

TEST(OptionsBlockComposition, ReaderTakesBackWhatTheBuilderWrote) {
  ResetExtractorState();
  ReadOptionsBlock(Compose("1101", "C:\\Tools").data());
  EXPECT_TRUE(OptAutoStart);
  EXPECT_TRUE(OptAutoClose);
  EXPECT_FALSE(OptRunSetup);
  EXPECT_TRUE(OptTempDir);
  EXPECT_STREQ(OptExtractPath, "C:\\Tools");

  ResetExtractorState();
  ReadOptionsBlock(Compose("abcd", "").data());
  EXPECT_FALSE(OptAutoStart || OptAutoClose || OptRunSetup || OptTempDir);
  EXPECT_STREQ(OptExtractPath, "");

  ResetExtractorState();
  const std::string path(MaxExtPathLength, 'q');
  ReadOptionsBlock(Compose("", path.c_str()).data());
  EXPECT_EQ(std::string(OptExtractPath), std::string(241, 'q'));
  ResetExtractorState();
}

// Copies a file of `size` bytes through CopyFileData and returns what arrived.
Bytes CopyThrough(size_t size, const std::string& tag) {
  const std::string from = TempDir() + "/copy_from_" + tag, to = TempDir() + "/copy_to_" + tag;
  WriteFile(from, Pattern(size, uint32_t(size)));
  const FileHandle in = FileOpenRead(from.c_str());
  const FileHandle out = FileCreate(to.c_str());
  EXPECT_NE(in, NoFile);
  EXPECT_NE(out, NoFile);
  CopyFileData(in, out);
  FileClose(in);
  FileClose(out);
  return ReadFile(to);
}

TEST(CopyLoop, CopiesEveryByteAcrossUnitBoundaries) {
  for (size_t size : {size_t(0), size_t(1), size_t(CopyUnitSize - 1), size_t(CopyUnitSize),
                      size_t(CopyUnitSize + 1), size_t(3 * CopyUnitSize + 4321)}) {
    EXPECT_EQ(CopyThrough(size, std::to_string(size)), Pattern(size, uint32_t(size))) << size;
  }
}

TEST(CopyLoop, StartsAtTheCurrentPosition) {
  const std::string from = TempDir() + "/copy_pos_from", to = TempDir() + "/copy_pos_to";
  const Bytes data = Pattern(1000, 7);
  WriteFile(from, data);
  const FileHandle in = FileOpenRead(from.c_str());
  const FileHandle out = FileCreate(to.c_str());
  ASSERT_EQ(FileSeek(in, 600), 600);
  CopyFileData(in, out);
  FileClose(in);
  FileClose(out);
  EXPECT_EQ(ReadFile(to), Bytes(data.begin() + 600, data.end()));
}

TEST(CopyLoopDeathTest, FailedReadOrWriteIsFatal) {
  const std::string name = TempDir() + "/copy_fatal", sink = TempDir() + "/copy_fatal_sink";
  WriteFile(name, Pattern(100, 1));
  // A descriptor opened for writing only cannot be read and one opened for reading only cannot
  // be written (EBADF, 9). The fatal report's exit code is the error number.
  EXPECT_EXIT(CopyFileData(FileHandle(open(name.c_str(), O_WRONLY)), FileCreate(sink.c_str())),
              testing::ExitedWithCode(9), "Runtime error +9 at");
  EXPECT_EXIT(CopyFileData(FileOpenRead(name.c_str()), FileOpenRead(sink.c_str())),
              testing::ExitedWithCode(9), "Runtime error +9 at");
}

// Copies `from` into `to` under a file-size limit, then exits with 42.
void CopyUnderSizeLimit(const std::string& from, const std::string& to, rlim_t limit) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit fsize;
  fsize.rlim_cur = fsize.rlim_max = limit;
  setrlimit(RLIMIT_FSIZE, &fsize);
  CopyFileData(FileOpenRead(from.c_str()), FileCreate(to.c_str()));
  std::exit(42);
}

TEST(CopyLoopDeathTest, ShortWriteEndsTheCopyQuietly) {
  const std::string from = TempDir() + "/copy_short_from", to = TempDir() + "/copy_short_to";
  const Bytes data = Pattern(3 * CopyUnitSize, 3);
  WriteFile(from, data);
  // A file-size limit makes the second write come up short (the kernel writes what fits);
  // the loop must stop there instead of reporting or writing on.
  EXPECT_EXIT(CopyUnderSizeLimit(from, to, CopyUnitSize + 1000), testing::ExitedWithCode(42), "");
  EXPECT_EQ(ReadFile(to), Bytes(data.begin(), data.begin() + CopyUnitSize + 1000));
}

struct PackageFiles {
  std::string stub, zip, package;
  Bytes stubBytes, zipBytes;
};

PackageFiles MakeInputs(const std::string& tag, size_t stubSize, size_t zipSize) {
  PackageFiles files;
  files.stub = TempDir() + "/" + tag + "_stub.exe";
  files.zip = TempDir() + "/" + tag + ".zip";
  files.package = TempDir() + "/" + tag + ".exe";
  files.stubBytes = Pattern(stubSize, 11);
  files.stubBytes[0] = 'M';
  files.stubBytes[1] = 'Z';
  files.zipBytes = Pattern(zipSize, 13);
  const uint8_t signature[] = {'P', 'K', 3, 4};
  std::copy(signature, signature + 4, files.zipBytes.begin());
  WriteFile(files.stub, files.stubBytes);
  WriteFile(files.zip, files.zipBytes);
  return files;
}

void BuildWith(const PackageFiles& files, const Bytes& block) {
  const FileHandle stub = FileOpenRead(files.stub.c_str());
  const FileHandle package = FileCreate(files.package.c_str());
  ASSERT_NE(stub, NoFile);
  ASSERT_NE(package, NoFile);
  WritePackage(stub, package, block.data(), files.zip.c_str());
}

TEST(PackageLayout, StubThenOptionsBlockThenZipByteForByte) {
  // Sizes that are not multiples of the copy unit on either side.
  const PackageFiles files = MakeInputs("layout", 129 * 256, 2 * CopyUnitSize + 77);
  const Bytes block = Compose("1010", "C:\\Tools");
  BuildWith(files, block);
  Bytes expected = files.stubBytes;
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), files.zipBytes.begin(), files.zipBytes.end());
  EXPECT_EQ(ReadFile(files.package), expected);
}

TEST(PackageLayout, LocatorFindsTheArchiveAndOptionsAgain) {
  const PackageFiles files = MakeInputs("relocate", 24 * 256, 5000);
  BuildWith(files, Compose("1010", "Tools"));
  const FileHandle f = FileOpenRead(files.package.c_str());
  ASSERT_NE(f, NoFile);
  const int32_t offset = FindArchiveOffset(f);
  EXPECT_EQ(offset, 24 * 256 + 256);
  ResetExtractorState();
  ReadPackageOptions(f, offset);
  EXPECT_TRUE(OptAutoStart && OptRunSetup);
  EXPECT_FALSE(OptAutoClose || OptTempDir);
  EXPECT_STREQ(OptExtractPath, "Tools");
  ResetExtractorState();
  FileClose(f);
}

TEST(PackageLayout, ExistingPackageIsReplacedNotAppendedTo) {
  const PackageFiles files = MakeInputs("replace", 512, 300);
  WriteFile(files.package, Pattern(100000, 5));
  const Bytes block = Compose("", "");
  BuildWith(files, block);
  EXPECT_EQ(ReadFile(files.package).size(), 512u + 256u + 300u);
}

TEST(PackageLayoutDeathTest, MissingZipIsFatalAndLeavesThePartialPackage) {
  PackageFiles files = MakeInputs("nozip", 512, 300);
  std::remove(files.zip.c_str());
  const Bytes block = Compose("", "");
  // ENOENT (2) is the exit code; stub and block were written before the ZIP was opened.
  EXPECT_EXIT(BuildWith(files, block), testing::ExitedWithCode(2), "Runtime error +2 at");
  EXPECT_EQ(ReadFile(files.package).size(), 512u + 256u);
}

}  // namespace
