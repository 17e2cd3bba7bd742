// Fuzz target: the LZMA codec on one method 14 entry. Input: a choice byte (bit 0: flag bit 1,
// the end marker; bits 1-7: the pull interface's piece size), the declared size (3 bytes,
// little-endian, at most 1 MB), then the entry (header and stream). DecodeLzma and the pull
// interface must agree; beyond the sanitizers' checks, whenever liblzma's raw decoder decodes
// the stream to its end (the marker, or the declared size without it), Zelvix must give the
// same bytes.
#include <lzma.h>
#include <zlib.h>
#include <cstdio>
#include "fuzz_io.h"
#include "lzma/lzma.h"

namespace {

constexpr size_t Prefix = 4, Header = 9;

// liblzma's raw decoder on the entry's stream; true when it ends where the entry says.
bool LiblzmaDecode(const uint8_t* entry, size_t size, uint32_t declared, bool marker, std::vector<uint8_t>& out) {
  if (size < Header || entry[2] != 5 || entry[3] != 0 || entry[4] >= 225) return false;
  lzma_options_lzma o{};
  o.lc = entry[4] % 9;
  o.lp = entry[4] / 9 % 5;
  o.pb = entry[4] / 45;
  if (o.lc + o.lp > 4) return false;  // beyond liblzma's range
  const uint32_t dict = uint32_t(entry[5]) | uint32_t(entry[6]) << 8 | uint32_t(entry[7]) << 16 | uint32_t(entry[8]) << 24;
  o.dict_size = dict < 4096 ? 4096 : dict > (1u << 30) ? (1u << 30) : dict;
  o.ext_flags = 0;
  o.ext_size_low = marker ? UINT32_MAX : declared;  // with the marker: it must come
  o.ext_size_high = marker ? UINT32_MAX : 0;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &o}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_raw_decoder(&s, filters) != LZMA_OK) return false;
  s.next_in = entry + Header;
  s.avail_in = size - Header;
  uint8_t chunk[32768];
  lzma_ret ret = LZMA_OK;
  while (ret == LZMA_OK && out.size() <= declared) {
    s.next_out = chunk;
    s.avail_out = sizeof chunk;
    ret = lzma_code(&s, LZMA_FINISH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - s.avail_out));
  }
  lzma_end(&s);
  return ret == LZMA_STREAM_END && out.size() == declared;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < Prefix) return 0;
  static const int input = fuzz::MemoryFile("lzma-in"), output = fuzz::MemoryFile("lzma-out");
  fuzz::EnsureTables();
  const bool marker = data[0] & 1;
  const uint32_t step = 1 + (data[0] >> 1) * 517u;
  const uint32_t declared = (uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16) & 0xFFFFF;
  const uint8_t* entry = data + Prefix;
  const size_t entrySize = size - Prefix;
  fuzz::SetFile(input, entry, entrySize);
  fuzz::SetFile(output, nullptr, 0);
  bool ended;
  uint32_t crc;
  {
    EntryInput in(input, int32_t(entrySize));
    in.flags = marker ? 2 : 0;
    EntryOutput out(output);
    out.declaredSize = declared;
    ended = DecodeLzma(in, out);
    crc = OutputCrc(out);
  }
  const std::vector<uint8_t> ours = fuzz::FileBytes(output);
  if (ours.size() > declared) abort();

  // The same entry through the pull interface, in pieces of step bytes.
  std::vector<uint8_t> pulled;
  bool pullEnded = false;
  {
    lseek(input, 0, SEEK_SET);
    EntryInput in(input, int32_t(entrySize));
    in.flags = marker ? 2 : 0;
    EntryOutput out(NoFile);
    out.declaredSize = declared;
    LzmaDecoder s;
    if (LzmaBegin(s, in, out)) {
      const uint8_t* piece;
      while (const uint32_t n = LzmaPull(s, in, &piece, step)) {
        if (n > step || piece < s.window || piece + n > s.window + s.windowSize) abort();
        pulled.insert(pulled.end(), piece, piece + n);
      }
      pullEnded = s.result == LzmaResult::Ended;
    }
  }
  if (pullEnded != ended || (ended && pulled != ours)) {
    std::fprintf(stderr, "the pull interface differs from DecodeLzma\n");
    abort();
  }

  std::vector<uint8_t> reference;
  if (LiblzmaDecode(entry, entrySize, declared, marker, reference)) {
    if (!ended || ours != reference || crc != uint32_t(crc32(0, reference.data(), uInt(reference.size())))) {
      std::fprintf(stderr, "output differs from liblzma: %zu bytes against %zu\n", ours.size(), reference.size());
      abort();
    }
  }
  return 0;
}
