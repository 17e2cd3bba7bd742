// Shared set-up of the fuzz targets: the CRC tables, and in-memory files (memfd) standing in
// for the package and the output file, so inputs reach the decoders through the file seam.
#pragma once
#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <vector>
#include "util/crc32.h"

namespace fuzz {

inline int MemoryFile(const char* name) {
  const int fd = memfd_create(name, 0);
  if (fd < 0) abort();
  return fd;
}

inline void SetFile(int fd, const uint8_t* data, size_t size) {
  if (ftruncate(fd, 0) != 0) abort();
  if (size > 0 && pwrite(fd, data, size, 0) != ssize_t(size)) abort();
  lseek(fd, 0, SEEK_SET);
}

inline std::vector<uint8_t> FileBytes(int fd) {
  const off_t size = lseek(fd, 0, SEEK_END);
  std::vector<uint8_t> out(size_t(size > 0 ? size : 0));
  if (!out.empty() && pread(fd, out.data(), out.size(), 0) != ssize_t(out.size())) abort();
  return out;
}

inline void EnsureTables() {
  static const bool built = (BuildCrcTable(), true);
  (void)built;
}

}  // namespace fuzz
