// TempDir: mkdtemp under the test tree, removed recursively afterwards.
#include "support/temp_dir.h"
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TempDir::TempDir() {
  const char* root = std::getenv("ZELVIX_TEST_TMP");
  std::string base = root != nullptr ? root : "/tmp";
  std::filesystem::create_directories(base);
  std::string pattern = base + "/zt-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
