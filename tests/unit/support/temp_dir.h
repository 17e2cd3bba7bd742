// A fresh directory per test under $ZELVIX_TEST_TMP (or /tmp), removed with its contents.
#pragma once
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

inline bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}
