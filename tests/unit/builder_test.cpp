// Package builder, portable part: the package name rule, the 32 KB copy loop and the package
// layout written by WritePackage.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/state.h"
#include "package/builder.h"
#include "package/locator.h"
#include "package/options_block.h"
#include "support/temp_dir.h"

namespace {

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

// Copies a file of `size` bytes through CopyFileData and returns what arrived.
Bytes CopyThrough(size_t size) {
  const TempDir dir;
  const std::string from = dir.Path("from"), to = dir.Path("to");
  WriteFile(from, Pattern(size, uint32_t(size)));
  const FileHandle in = FileOpenRead(from.c_str());
  const FileHandle out = FileCreate(to.c_str());
  EXPECT_NE(in, NoFile);
  EXPECT_NE(out, NoFile);
  EXPECT_EQ(CopyFileData(in, out).failed, CopySide::None);
  FileClose(in);
  FileClose(out);
  return ReadFile(to);
}

TEST(CopyLoop, CopiesEveryByteAcrossUnitBoundaries) {
  for (size_t size : {size_t(0), size_t(1), size_t(CopyUnitSize - 1), size_t(CopyUnitSize),
                      size_t(CopyUnitSize + 1), size_t(3 * CopyUnitSize + 4321)}) {
    EXPECT_EQ(CopyThrough(size), Pattern(size, uint32_t(size))) << size;
  }
}

TEST(CopyLoop, StartsAtTheCurrentPosition) {
  const TempDir dir;
  const std::string from = dir.Path("from"), to = dir.Path("to");
  const Bytes data = Pattern(1000, 7);
  WriteFile(from, data);
  const FileHandle in = FileOpenRead(from.c_str());
  const FileHandle out = FileCreate(to.c_str());
  ASSERT_EQ(FileSeek(in, 600), 600);
  EXPECT_EQ(CopyFileData(in, out).failed, CopySide::None);
  FileClose(in);
  FileClose(out);
  EXPECT_EQ(ReadFile(to), Bytes(data.begin() + 600, data.end()));
}

// Copies `from` into `to` under a file-size limit, then exits with the error code of a failed
// write, or with 0.
void CopyUnderSizeLimit(const std::string& from, const std::string& to, rlim_t limit) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit fsize;
  fsize.rlim_cur = fsize.rlim_max = limit;
  setrlimit(RLIMIT_FSIZE, &fsize);
  const CopyResult copied = CopyFileData(FileOpenRead(from.c_str()), FileCreate(to.c_str()));
  std::exit(copied.failed == CopySide::Target ? int(copied.error) : 0);
}

TEST(CopyLoopDeathTest, WriteCutShortFailsAndEndsTheCopy) {
  const TempDir dir;
  const std::string from = dir.Path("from"), to = dir.Path("to");
  const Bytes data = Pattern(3 * CopyUnitSize, 3);
  WriteFile(from, data);
  // A file-size limit lets the second write put only what fits and then fails it (EFBIG): the
  // copy must report that, not end as if it were complete, and write nothing more.
  EXPECT_EXIT(CopyUnderSizeLimit(from, to, CopyUnitSize + 1000), testing::ExitedWithCode(EFBIG), "");
  EXPECT_EQ(ReadFile(to), Bytes(data.begin(), data.begin() + CopyUnitSize + 1000));
}

struct PackageFiles {
  std::string stub, zip, package;
  Bytes stubBytes, zipBytes;
};

PackageFiles MakeInputs(const TempDir& dir, size_t stubSize, size_t zipSize) {
  PackageFiles files;
  files.stub = dir.Path("zelvix.exe");
  files.zip = dir.Path("archive.zip");
  files.package = dir.Path("archive.exe");
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
  const PackageResult written = WritePackage(stub, package, block.data(), files.zip.c_str());
  EXPECT_EQ(written.failed, PackageFile::None) << written.error;
}

TEST(PackageLayout, StubThenOptionsBlockThenZipByteForByte) {
  const TempDir dir;
  // Sizes that are not multiples of the copy unit on either side.
  const PackageFiles files = MakeInputs(dir, 129 * 256, 2 * CopyUnitSize + 77);
  const Bytes block = Compose("1010", "C:\\Tools");
  BuildWith(files, block);
  Bytes expected = files.stubBytes;
  expected.insert(expected.end(), block.begin(), block.end());
  expected.insert(expected.end(), files.zipBytes.begin(), files.zipBytes.end());
  EXPECT_EQ(ReadFile(files.package), expected);
}

TEST(PackageLayout, LocatorFindsTheArchiveAndOptionsAgain) {
  const TempDir dir;
  const PackageFiles files = MakeInputs(dir, 24 * 256, 5000);
  BuildWith(files, Compose("1010", "Tools"));
  const FileHandle f = FileOpenRead(files.package.c_str());
  ASSERT_NE(f, NoFile);
  const int32_t offset = FindArchiveOffset(f, 0);
  EXPECT_EQ(offset, 24 * 256 + 256);
  ResetExtractorState();
  ASSERT_TRUE(ReadPackageOptions(f, offset));
  EXPECT_TRUE(OptAutoStart && OptRunSetup);
  EXPECT_FALSE(OptAutoClose || OptTempDir);
  EXPECT_STREQ(OptExtractPath, "Tools");
  ResetExtractorState();
  FileClose(f);
}

TEST(PackageLayout, ExistingPackageIsReplacedNotAppendedTo) {
  const TempDir dir;
  const PackageFiles files = MakeInputs(dir, 512, 300);
  WriteFile(files.package, Pattern(100000, 5));
  const Bytes block = Compose("", "");
  BuildWith(files, block);
  EXPECT_EQ(ReadFile(files.package).size(), 512u + 256u + 300u);
}

enum class Replace { Nothing, ZipByNothing, ZipByDirectory, PackageByFullDevice };

TEST(PackageLayout, FailureNamesItsFileAndStopsThere) {
  // The stub opened for writing only cannot be read, a package opened for reading only cannot
  // be written (EBADF), /dev/full takes nothing (ENOSPC); a ZIP file that is missing (ENOENT) or
  // is a directory (EISDIR) fails after the stub and the block were written.
  const struct {
    int stubFlags, packageFlags;
    Replace replace;
    PackageFile failed;
    uint32_t error;
    size_t written;
  } cases[] = {
      {O_WRONLY, O_WRONLY, Replace::Nothing, PackageFile::Stub, EBADF, 0},
      {O_RDONLY, O_RDONLY, Replace::Nothing, PackageFile::Package, EBADF, 0},
      {O_RDONLY, O_WRONLY, Replace::PackageByFullDevice, PackageFile::Package, ENOSPC, 0},
      {O_RDONLY, O_WRONLY, Replace::ZipByNothing, PackageFile::Zip, ENOENT, 512 + 256},
      {O_RDONLY, O_WRONLY, Replace::ZipByDirectory, PackageFile::Zip, EISDIR, 512 + 256},
  };
  const Bytes block = Compose("", "");
  for (const auto& c : cases) {
    SCOPED_TRACE(int(&c - cases));
    const TempDir dir;
    PackageFiles files = MakeInputs(dir, 512, 300);
    WriteFile(files.package, {});
    if (c.replace == Replace::ZipByNothing || c.replace == Replace::ZipByDirectory) std::remove(files.zip.c_str());
    if (c.replace == Replace::ZipByDirectory) ASSERT_EQ(mkdir(files.zip.c_str(), 0755), 0);
    const std::string package = c.replace == Replace::PackageByFullDevice ? "/dev/full" : files.package;
    // Files WritePackage had not closed stay open after a failure; the test process ends soon.
    const PackageResult written = WritePackage(open(files.stub.c_str(), c.stubFlags),
                                               open(package.c_str(), c.packageFlags), block.data(), files.zip.c_str());
    EXPECT_EQ(written.failed, c.failed);
    EXPECT_EQ(written.error, c.error);
    EXPECT_EQ(ReadFile(files.package).size(), c.written);
  }
}

}  // namespace
