// Helpers for the Windows and end-to-end tests (see test_support.h).
#include "ui/test_support.h"
#include <windows.h>
#include <gtest/gtest.h>
#include <cstdlib>

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

std::wstring ToWide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], size);
  return wide;
}

std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], size, nullptr, nullptr);
  return utf8;
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = ToWide(path);
  if (wide.size() < 240 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // The prefix turns off the parsing of '/', "." and "..": GetFullPathNameW does that first.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, &full[0], nullptr));
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveTree(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileW(wide.c_str()) != FALSE;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(WidePath(JoinPath(path, "*")).c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = ToUtf8(found.cFileName);
      if (name != "." && name != "..") RemoveTree(JoinPath(path, name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryW(wide.c_str()) != FALSE || !DirectoryExists(path);
}

static bool MakeDirectories(const std::string& path) {
  if (path.empty() || DirectoryExists(path)) return true;
  const size_t cut = path.find_last_of('\\');
  if (cut != std::string::npos && cut > 2) MakeDirectories(path.substr(0, cut));
  return CreateDirectoryW(WidePath(path).c_str(), nullptr) != FALSE || DirectoryExists(path);
}

std::string FreshTestDir(const std::string& name) {
  std::string leaf = name;
  if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info())
    leaf = std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : leaf)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  std::string root = EnvPath("ZELVIX_TEST_TMP");
  if (root.empty()) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    root = JoinPath(ToUtf8(std::wstring(temp, length <= MAX_PATH ? length : 0)), "zelvix-tests");
  }
  const std::string dir = JoinPath(root, leaf);
  RemoveTree(dir);
  MakeDirectories(dir);
  return dir;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string all;
  char buffer[65536];
  DWORD got = 0;
  bool ok;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0) all.append(buffer, got);
  CloseHandle(file);
  if (ok) *bytes = all;
  return ok;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  return ReadWholeFile(path, &bytes) ? bytes : std::string();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  return CloseHandle(file) && ok;
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
