// The file-system side of the path utilities under Wine: existence tests (with the trailing
// backslash pattern and its bound), directory-tree creation, the temporary directory, and the
// positioning of the package file.
#include <windows.h>
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "app/state.h"
#include "ui/test_support.h"
#include "util/file_io.h"
#include "util/paths.h"
#include "archive/extraction_run.h"
#include "archive/walk.h"

using support::DirectoryExists;
using support::FileExists;
using support::JoinPath;

namespace {

// PathExists may rewrite its argument, so it gets a copy in a buffer of its own.
bool Exists(const std::string& path) {
  std::string buffer = path;
  return PathExists(&buffer[0]);
}

void MakeDir(const std::string& path) { ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path; }
void MakeFile(const std::string& path) { ASSERT_TRUE(support::WriteFileBytes(path, "x")) << path; }

// Makes dir the current directory for one test and puts the old one back afterwards.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir) {
    GetCurrentDirectoryA(sizeof saved_, saved_);
    SetCurrentDirectoryA(dir.c_str());
  }
  ~CurrentDirectory() { SetCurrentDirectoryA(saved_); }
 private:
  char saved_[MAX_PATH + 1] = "";
};

}  // namespace

// --- PathExists: what answers to a path ---------------------------------------------------

TEST(PathExists, FindsFilesAndDirectoriesOnly) {
  const std::string root = support::FreshTestDir();
  MakeFile(JoinPath(root, "file.txt"));
  MakeDir(JoinPath(root, "sub"));
  EXPECT_TRUE(Exists(JoinPath(root, "file.txt")));
  EXPECT_TRUE(Exists(JoinPath(root, "sub")));
  EXPECT_FALSE(Exists(JoinPath(root, "missing.txt")));
  EXPECT_FALSE(Exists(JoinPath(root, "missing\\file.txt")));
  EXPECT_FALSE(Exists(""));
}

TEST(PathExists, TrailingBackslashSearchesTheNameAsPrefix) {
  const std::string root = support::FreshTestDir();
  MakeDir(JoinPath(root, "dir"));
  MakeFile(JoinPath(root, "database.txt"));
  EXPECT_TRUE(Exists(JoinPath(root, "dir\\")));
  // "data\" is searched as "data*.*": the sibling database.txt answers although data is missing.
  EXPECT_TRUE(Exists(JoinPath(root, "data\\")));
  EXPECT_FALSE(Exists(JoinPath(root, "other\\")));
  EXPECT_FALSE(Exists(JoinPath(root, "database.txt\\x")));
}

TEST(PathExists, SlashesAreTurnedIntoBackslashesInTheCallersBuffer) {
  const std::string root = support::FreshTestDir();
  MakeDir(JoinPath(root, "a"));
  MakeFile(JoinPath(root, "a\\b.txt"));
  char buffer[MAX_PATH];
  ASSERT_LT(root.size() + 8, sizeof buffer);
  std::strcpy(buffer, (root + "/a/b.txt").c_str());
  EXPECT_TRUE(PathExists(buffer));
  EXPECT_STREQ(buffer, (root + "\\a\\b.txt").c_str());

  // A trailing backslash searches a separate pattern: the caller's buffer stays as it was.
  std::strcpy(buffer, (root + "/a\\").c_str());
  EXPECT_TRUE(PathExists(buffer));
  EXPECT_STREQ(buffer, (root + "/a\\").c_str());
}

// A path ending in '\' is searched at any length, beyond the 260 characters of old.
TEST(PathExists, TrailingBackslashPathsOfAnyLength) {
  const std::string root = support::FreshTestDir();
  for (size_t length : {251, 252, 259, 261}) {
    ASSERT_LT(root.size() + 2, length);
    const std::string name = JoinPath(root, std::string(length - 1 - root.size(), char('a' + length % 26)));
    ASSERT_EQ(name.size(), length);
    MakeFile(name);
    ASSERT_TRUE(FileExists(name));
    EXPECT_TRUE(Exists(name + "\\")) << length;
  }

  // A missing path of 900 characters: false, and nothing is written around the caller's text.
  char buffer[1200];
  std::memset(buffer, '#', sizeof buffer);
  const std::string huge = root + "\\" + std::string(900, 'h') + "\\";
  std::memcpy(buffer + 100, huge.c_str(), huge.size() + 1);
  EXPECT_FALSE(PathExists(buffer + 100));
  for (size_t i = 0; i < 100; ++i) ASSERT_EQ(buffer[i], '#') << "byte " << i;
  EXPECT_EQ(std::string(buffer + 100), huge);
  for (size_t i = 100 + huge.size() + 1; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << "byte " << i;
}

// --- ForceDirectories ----------------------------------------------------------------------

TEST(ForceDirectories, CreatesEveryMissingLevel) {
  const std::string root = support::FreshTestDir();
  EXPECT_TRUE(ForceDirectories((root + "\\a\\b\\c").c_str()));  // made
  EXPECT_TRUE(DirectoryExists(root + "\\a"));
  EXPECT_TRUE(DirectoryExists(root + "\\a\\b"));
  EXPECT_TRUE(DirectoryExists(root + "\\a\\b\\c"));

  ForceDirectories((root + "\\x\\y\\").c_str());  // one trailing backslash is dropped
  EXPECT_TRUE(DirectoryExists(root + "\\x\\y"));
}

TEST(ForceDirectories, LeavesAnExistingTreeAsItIs) {
  const std::string root = support::FreshTestDir();
  MakeDir(JoinPath(root, "keep"));
  MakeFile(JoinPath(root, "keep\\inside.txt"));
  EXPECT_TRUE(ForceDirectories(JoinPath(root, "keep").c_str()));  // found
  EXPECT_TRUE(ForceDirectories(JoinPath(root, "keep\\").c_str()));
  EXPECT_TRUE(FileExists(JoinPath(root, "keep\\inside.txt")));
  EXPECT_FALSE(ForceDirectories(JoinPath(root, "keep\\inside.txt\\below").c_str()));  // under a file
  EXPECT_FALSE(DirectoryExists(JoinPath(root, "keep\\inside.txt\\below")));
}

TEST(ForceDirectories, ShortFirstComponentOfARelativePathIsTakenToExist) {
  const std::string root = support::FreshTestDir();
  CurrentDirectory inside(root);
  EXPECT_FALSE(ForceDirectories("ab\\cd"));  // "ab" is shorter than three characters: never created
  EXPECT_FALSE(DirectoryExists(JoinPath(root, "ab")));
  EXPECT_FALSE(DirectoryExists(JoinPath(root, "ab\\cd")));
  ForceDirectories("abc\\de");
  EXPECT_TRUE(DirectoryExists(JoinPath(root, "abc\\de")));
}

// --- GetTempDirectory ----------------------------------------------------------------------

TEST(GetTempDirectory, GivesTheSystemsDirectoryWithItsBackslash) {
  char dir[1024];
  GetTempDirectory(dir, sizeof dir);
  const std::string text = dir;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\\');
  EXPECT_TRUE(DirectoryExists(text));
  char expected[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof expected, expected);
  EXPECT_EQ(text, std::string(expected, length));

  char tiny[4] = "old";
  GetTempDirectory(tiny, sizeof tiny);  // does not fit: empty, nothing written past the buffer
  EXPECT_STREQ(tiny, "");
}

// --- SeekArchive ---------------------------------------------------------------------------

TEST(SeekArchive, RecordsThePositionOrMinusOne) {
  const std::string root = support::FreshTestDir();
  const std::string file = JoinPath(root, "package.bin");
  ASSERT_TRUE(support::WriteFileBytes(file, std::string(1000, 'p')));
  ResetExtractorState();
  ArchiveHandle = FileOpenRead(file.c_str());
  ASSERT_NE(ArchiveHandle, NoFile);
  SeekArchive(ArchiveHandle, 512);
  EXPECT_EQ(LastSeekPos, 512);
  uint8_t byte = 0;
  EXPECT_EQ(FileRead(ArchiveHandle, &byte, 1), 1);
  SetLastError(0);
  SeekArchive(ArchiveHandle, -5);
  EXPECT_EQ(LastSeekPos, -1);
  EXPECT_EQ(LastFileError(), uint32_t(ERROR_NEGATIVE_SEEK)) << "a fatal report after it would end with code 0";
  EXPECT_EQ(SetFilePointer(reinterpret_cast<HANDLE>(ArchiveHandle), 0, nullptr, FILE_CURRENT), 513u)
      << "a refused seek leaves the file where it was";
  FileClose(ArchiveHandle);
  ArchiveHandle = NoFile;
  SeekArchive(ArchiveHandle, 0);  // no file at all
  EXPECT_EQ(LastSeekPos, -1);
  ResetExtractorState();
}
