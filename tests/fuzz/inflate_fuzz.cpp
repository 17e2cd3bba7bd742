// Fuzz target: Inflate on raw input. Beyond the sanitizers' checks, whenever zlib's raw
// inflate decodes the same bytes to the end of a stream, Zelvix must give the same bytes.
#include <zlib.h>
#include <cstdio>
#include "fuzz_io.h"
#include "inflate/inflate.h"

namespace {

// zlib's raw inflate of the whole input; true when it reaches the end of the stream.
bool ZlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) abort();
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = uInt(size);
  uint8_t chunk[32768];
  int ret;
  do {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    ret = inflate(&z, Z_FINISH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
  } while (ret == Z_BUF_ERROR && z.avail_out == 0);
  inflateEnd(&z);
  return ret == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int input = fuzz::MemoryFile("inflate-in"), output = fuzz::MemoryFile("inflate-out");
  fuzz::EnsureTables();
  fuzz::SetFile(input, data, size);
  fuzz::SetFile(output, nullptr, 0);
  uint32_t crc;
  bool ended;
  {
    EntryInput in(input, int32_t(size));
    EntryOutput out(output);
    ended = Inflate(in, out);
    crc = OutputCrc(out);
  }
  const std::vector<uint8_t> ours = fuzz::FileBytes(output);

  std::vector<uint8_t> reference;
  if (ZlibInflate(data, size, reference)) {
    if (!ended || ours != reference || crc != uint32_t(crc32(0, reference.data(), uInt(reference.size())))) {
      std::fprintf(stderr, "output differs from zlib: %zu bytes against %zu\n", ours.size(), reference.size());
      abort();
    }
  }
  return 0;
}
