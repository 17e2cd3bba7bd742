// Whole-file reads and writes, and a scratch directory of fixed name, for tests that work with
// files on disk.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// $ZELVIX_TEST_TMP/name (or /tmp/name), created if missing.
inline std::string ScratchDir(const std::string& name) {
  const char* root = std::getenv("ZELVIX_TEST_TMP");
  const std::string dir = std::string(root != nullptr ? root : "/tmp") + "/" + name;
  std::filesystem::create_directories(dir);
  return dir;
}

inline void WriteFile(const std::string& name, const Bytes& data) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline Bytes ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
