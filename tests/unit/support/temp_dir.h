// Test files on disk: a fresh directory per use under $ZELVIX_TEST_TMP (or /tmp), removed with
// its contents afterwards, and whole-file reads and writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// $ZELVIX_TEST_TMP (or /tmp when it is unset or empty), created when missing.
std::string TestTempRoot();

class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }
private:
  std::string path_;
};

bool Exists(const std::string& path);
// Creates or replaces the file.
void WriteFile(const std::string& path, const Bytes& data);
// Empty when the file cannot be read.
Bytes ReadFile(const std::string& path);
