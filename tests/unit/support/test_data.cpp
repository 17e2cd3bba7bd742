#include "support/test_data.h"
#include <zlib.h>
#include <stdexcept>

Bytes MakeData(DataKind kind, size_t size, uint64_t seed) {
  static const char* const words[] = {"the ", "window ", "of ", "inflate ", "block ", "header ", "and ", "length ",
                                      "distance ", "code ", "\n", "return ", "0x1F, ", "{ ", "} ", "int ", "static "};
  TestRandom rnd(seed);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    switch (kind) {
      case DataKind::Text: {
        const char* w = words[rnd.Below(sizeof words / sizeof *words)];
        while (*w && out.size() < size) out.push_back(uint8_t(*w++));
        break;
      }
      case DataKind::Binary: {  // records of small integers with a slowly changing field
        const uint32_t v = uint32_t(out.size() / 16) * 3 + rnd.Below(4);
        for (int i = 0; i < 4 && out.size() < size; ++i) out.push_back(uint8_t(v >> (8 * i)));
        if (out.size() < size) out.push_back(uint8_t(rnd.Below(3)));
        break;
      }
      case DataKind::Random: out.push_back(uint8_t(rnd.Next())); break;
      case DataKind::LongRuns: {
        const uint8_t b = uint8_t(rnd.Below(4) * 60);
        for (uint32_t n = 1 + rnd.Below(3000); n-- > 0 && out.size() < size;) out.push_back(b);
        break;
      }
      case DataKind::Distance1Runs: {  // a literal, then runs of exactly 1 + 258 repeats
        const uint8_t b = uint8_t(rnd.Next());
        for (uint32_t n = 259; n-- > 0 && out.size() < size;) out.push_back(b);
        break;
      }
      case DataKind::Mixed: {
        const DataKind inner = AllDataKinds[rnd.Below(5)];
        const Bytes piece = MakeData(inner, 1 + rnd.Below(2000), rnd.Next());
        for (size_t i = 0; i < piece.size() && out.size() < size; ++i) out.push_back(piece[i]);
        break;
      }
    }
  }
  return out;
}

Bytes ZlibDeflate(const Bytes& data, int level, int strategy) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) throw std::runtime_error("deflateInit2");
  Bytes out(deflateBound(&z, uLong(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool ZlibInflate(const Bytes& compressed, Bytes& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out.clear();
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = uInt(compressed.size());
  int ret = Z_OK;
  uint8_t chunk[65536];
  while (ret == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    ret = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    if (ret == Z_BUF_ERROR && z.avail_in == 0) break;  // input ended inside the stream
    if (ret == Z_OK && z.avail_out != 0 && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  return ret == Z_STREAM_END;
}
