#include "support/entry_runner.h"
#include <unistd.h>
#include <zlib.h>
#include <cstdlib>
#include <stdexcept>
#include "codec/stored_copy.h"
#include "inflate/inflate.h"
#include "lzma/lzma.h"
#include "util/crc32.h"

void EnsureCrcTable() {
  static const bool built = (BuildCrcTable(), true);
  (void)built;
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

EntryResult DecodeBytes(CodecFunction codec, const Bytes& data, int64_t compressedSize, const CipherKeys* keys,
                        uint32_t declaredSize, uint16_t flags) {
  EnsureCrcTable();
  static TempFile input, output;  // reused: truncated for every run
  input.Set(data);
  output.Set({});
  EntryResult r;
  {
    EntryInput in(input.fd, int32_t(compressedSize == WholeInput ? int64_t(data.size()) : compressedSize), keys);
    in.flags = flags;
    EntryOutput out(output.fd);
    out.declaredSize = declaredSize;
    r.ended = codec(in, out);
    r.crc = OutputCrc(out);
    r.compressedLeft = in.left;
  }
  r.output = output.Contents();
  return r;
}

EntryResult InflateBytes(const Bytes& data, int64_t compressedSize, const CipherKeys* keys) {
  return DecodeBytes(Inflate, data, compressedSize, keys);
}

EntryResult LzmaBytes(const Bytes& data, uint32_t declaredSize, bool endMarker, int64_t compressedSize) {
  return DecodeBytes(DecodeLzma, data, compressedSize, nullptr, declaredSize, endMarker ? 2 : 0);
}

EntryResult CopyStoredBytes(const Bytes& data, int64_t compressedSize, const CipherKeys* keys) {
  return DecodeBytes(CopyStored, data, compressedSize, keys);
}

uint32_t ZlibCrc(const Bytes& data) { return uint32_t(crc32(0, data.data(), uInt(data.size()))); }
