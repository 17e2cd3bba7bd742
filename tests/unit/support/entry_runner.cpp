#include "support/entry_runner.h"
#include <unistd.h>
#include <zlib.h>
#include <cstdlib>
#include <stdexcept>
#include "app/state.h"
#include "archive/crc32.h"
#include "inflate/inflate.h"
#include "inflate/stored_copy.h"

void EnsureCrcTable() {
  static uint32_t table[256];
  CrcTable = table;
  BuildCrcTable();
}

TempFile::TempFile() {
  std::string path = TestTempRoot() + "/zelvix-XXXXXX";
  fd = mkstemp(path.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed in " + path);
  unlink(path.c_str());
}

TempFile::~TempFile() { close(fd); }

void TempFile::Set(const Bytes& data) {
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) throw std::runtime_error("truncate");
  if (!data.empty() && write(fd, data.data(), data.size()) != ssize_t(data.size())) throw std::runtime_error("write");
  lseek(fd, 0, SEEK_SET);
}

Bytes TempFile::Contents() const {
  const off_t size = lseek(fd, 0, SEEK_END);
  Bytes out(size_t(size > 0 ? size : 0));
  if (!out.empty() && pread(fd, out.data(), out.size(), 0) != ssize_t(out.size())) throw std::runtime_error("read");
  return out;
}

namespace {
template <typename Decode>
EntryResult RunEntry(const Bytes& data, int64_t compressedSize, uint16_t flags, Decode decode) {
  EnsureCrcTable();
  static TempFile input, output;  // reused: truncated for every run
  input.Set(data);
  output.Set({});
  ArchiveHandle = input.fd;
  OutputHandle = output.fd;
  LocalHeader.Flags = flags;
  CompressedLeft = int32_t(compressedSize == WholeInput ? int64_t(data.size()) : compressedSize);
  RunningCrc = 0xFFFFFFFF;
  decode();
  EntryResult r;
  r.output = output.Contents();
  r.crc = ~RunningCrc;
  r.compressedLeft = CompressedLeft;
  ArchiveHandle = OutputHandle = NoFile;
  return r;
}
}  // namespace

EntryResult InflateBytes(const Bytes& data, int64_t compressedSize, uint16_t flags) {
  return RunEntry(data, compressedSize, flags, [] { InflateEntry(); });
}

EntryResult CopyStoredBytes(const Bytes& data, int64_t compressedSize, uint16_t flags) {
  return RunEntry(data, compressedSize, flags, [] { CopyStoredEntry(); });
}

uint32_t ZlibCrc(const Bytes& data) { return uint32_t(crc32(0, data.data(), uInt(data.size()))); }
