// Helpers for the Windows and end-to-end tests (see test_support.h).
#include "ui/test_support.h"
#include <windows.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace support {

std::string ToWinePath(const std::string& unixPath) {
  if (unixPath.empty()) return std::string();
  std::string path = unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path[0] == '\\' ? "Z:" + path : path;
}

std::string EnvPath(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : ToWinePath(value);
}

std::string StubPath() { return EnvPath("ZELVIX_STUB"); }

std::string FixturePath(const std::string& name) { return JoinPath(EnvPath("ZELVIX_FIXTURES"), name); }

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '\\' ? dir + name : dir + "\\" + name;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileA(path.c_str()) != FALSE;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(path, "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") RemoveTree(JoinPath(path, name));
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(path.c_str()) != FALSE || !DirectoryExists(path);
}

static bool MakeDirectories(const std::string& path) {
  if (path.empty() || DirectoryExists(path)) return true;
  const size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 2) MakeDirectories(path.substr(0, cut));
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE || DirectoryExists(path);
}

std::string FreshTestDir(const std::string& name) {
  std::string leaf = name;
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info())
    leaf = std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : leaf)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  std::string root = EnvPath("ZELVIX_TEST_TMP");
  if (root.empty()) {
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    root = JoinPath(std::string(temp, length <= MAX_PATH ? length : 0), "zelvix-tests");
  }
  const std::string dir = JoinPath(root, leaf);
  RemoveTree(dir);
  MakeDirectories(dir);
  return dir;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *bytes = all.str();
  return !in.bad();
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  return ReadWholeFile(path, &bytes) ? bytes : std::string();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  return !out.fail();
}

std::string OptionsBlock(const std::string& options, const std::string& extPath) {
  std::string flags = (options + "0000").substr(0, 4);
  std::string block = "OPTIONS=" + flags + " " + extPath.substr(0, 243);
  block.resize(256, '\0');
  return block;
}

std::string PackageBytes(const std::string& stub, const std::string& zip, const std::string& options,
                         const std::string& extPath) {
  return stub + OptionsBlock(options, extPath) + zip;
}

bool WritePackage(const std::string& path, const std::string& zip, const std::string& options,
                  const std::string& extPath) {
  std::string stub;
  if (!ReadWholeFile(StubPath(), &stub) || stub.empty()) return false;
  return WriteFileBytes(path, PackageBytes(stub, zip, options, extPath));
}

}  // namespace support
