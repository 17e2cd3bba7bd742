// lzma_bench FILE.zip...: takes every deflated or stored, unencrypted entry of the files (the
// inflate benchmark's corpus), compresses each with liblzma's raw LZMA1 encoder (preset 6,
// lc 3 lp 0 pb 2, no end marker, as ZIP method 14 holds it) into a scratch file, then decodes
// them all with Zelvix's DecodeLzma (window, CRC fold and 32 KB reads as in the product, output
// to the null device) and with liblzma's raw decoder plus zlib's crc32() over the same 32 KB
// output chunks; prints MB of output, both speeds and their ratio per file and in total (best of
// several repetitions). Exit status 1 when any entry fails its CRC-32 in either decoder, 2 on a
// usage or file error. Native only: liblzma is not built for Windows here.
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "archive/local_header.h"
#include "archive/walk.h"
#include "bench_harness.h"
#include "codec/stored_copy.h"
#include "inflate/inflate.h"
#include "lzma/lzma.h"
#include "util/crc32.h"

namespace {

using bench::Chunk;
using bench::Entry;  // offset: of the method 14 data in the scratch file

constexpr size_t HeaderSize = 9;

std::vector<uint8_t> ReadAll(FileHandle fd) {
  std::vector<uint8_t> out;
  uint8_t buf[Chunk];
  for (int32_t n; (n = FileRead(fd, buf, Chunk)) > 0;) out.insert(out.end(), buf, buf + n);
  return out;
}

// The entry's plain bytes, through the product's own decoders into a scratch file.
struct Found {
  LocalFileHeader header;
  int32_t dataPos;
};

bool PlainEntry(FileHandle zip, const Found& walk, FileHandle scratch, std::vector<uint8_t>& plain) {
  const LocalFileHeader& h = walk.header;
  FileSeek(zip, walk.dataPos);
  FileSeek(scratch, 0);
  if (ftruncate(scratch, 0) != 0) return false;
  EntryInput in(zip, int32_t(h.CompressedSize));
  EntryOutput out(scratch);
  const bool ok = h.Method == 8 ? Inflate(in, out) : CopyStored(in, out);
  if (!ok || OutputCrc(out) != h.Crc32) return false;
  FileSeek(scratch, 0);
  plain = ReadAll(scratch);
  return plain.size() == h.UncompressedSize;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& plain, uint32_t& dict) {
  lzma_options_lzma o;
  lzma_lzma_preset(&o, 6);
  dict = o.dict_size;
  while (dict / 2 >= plain.size() && dict > 4096) dict /= 2;
  o.dict_size = dict;
  o.lc = 3;
  o.lp = 0;
  o.pb = 2;
  o.ext_flags = 0;
  o.ext_size_low = o.ext_size_high = UINT32_MAX;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &o}, {LZMA_VLI_UNKNOWN, nullptr}};
  std::vector<uint8_t> out(HeaderSize + plain.size() + plain.size() / 2 + 1024);
  const uint8_t header[HeaderSize] = {9, 20, 5, 0, (2 * 5 + 0) * 9 + 3, uint8_t(dict), uint8_t(dict >> 8),
                                      uint8_t(dict >> 16), uint8_t(dict >> 24)};
  std::copy(header, header + HeaderSize, out.begin());
  size_t pos = HeaderSize;
  if (lzma_raw_buffer_encode(filters, nullptr, plain.data(), plain.size(), out.data(), &pos, out.size()) != LZMA_OK)
    return {};
  out.resize(pos);
  return out;
}

// Recompresses the zip's entries into lzmaFile; other entries are counted and skipped.
std::vector<Entry> MakeEntries(FileHandle zip, FileHandle lzmaFile, FileHandle scratch, int& skipped) {
  std::vector<Found> found;
  EntryWalk walk;
  StartWalk(walk, zip, 0);
  while (NextEntry(walk)) {
    const LocalFileHeader& h = walk.header;
    if (walk.endKnown && (h.Method == 8 || h.Method == 0) && !(h.Flags & FlagEncrypted) && h.UncompressedSize > 0)
      found.push_back({h, walk.dataPos});
    else
      ++skipped;
  }
  std::vector<Entry> entries;
  int32_t offset = 0;
  std::vector<uint8_t> plain;
  for (const Found& w : found) {
    Entry e{offset, 0, w.header.UncompressedSize, w.header.Crc32, 0};
    std::vector<uint8_t> packed;
    if (PlainEntry(zip, w, scratch, plain)) packed = Compress(plain, e.dict);
    e.compressedSize = uint32_t(packed.size());
    FileSeek(lzmaFile, offset);
    if (packed.empty() || FileWrite(lzmaFile, packed.data(), e.compressedSize) != int32_t(e.compressedSize)) {
      ++skipped;
      continue;
    }
    entries.push_back(e);
    offset += int32_t(e.compressedSize);
  }
  return entries;
}

bool ZelvixEntry(const Entry& e, FileHandle fd, FileHandle sink) {
  FileSeek(fd, e.offset);
  EntryInput in(fd, int32_t(e.compressedSize));
  EntryOutput out(sink);
  out.declaredSize = e.size;
  return DecodeLzma(in, out) && OutputCrc(out) == e.crc;
}

bool PeerEntry(const Entry& e, FileHandle fd, FileHandle sink, uint8_t* in, uint8_t* out) {
  lzma_options_lzma o{};
  o.lc = 3;
  o.lp = 0;
  o.pb = 2;
  o.dict_size = e.dict;
  o.ext_flags = 0;
  o.ext_size_low = e.size;
  o.ext_size_high = 0;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &o}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_raw_decoder(&s, filters) != LZMA_OK) return false;
  FileSeek(fd, e.offset + int32_t(HeaderSize));
  uint32_t left = e.compressedSize - HeaderSize;
  uLong crc = crc32(0, nullptr, 0);
  lzma_ret ret = LZMA_OK;
  s.next_out = out;
  s.avail_out = Chunk;
  while (ret == LZMA_OK) {
    if (s.avail_in == 0 && left > 0) {
      const int32_t got = FileRead(fd, in, left < Chunk ? left : Chunk);
      if (got <= 0) break;
      left -= uint32_t(got);
      s.next_in = in;
      s.avail_in = size_t(got);
    }
    ret = lzma_code(&s, left == 0 ? LZMA_FINISH : LZMA_RUN);
    if (s.avail_out == 0 || ret == LZMA_STREAM_END) {
      const uInt n = uInt(Chunk - s.avail_out);
      if (FileWrite(sink, out, n) != int32_t(n)) break;
      crc = crc32(crc, out, n);
      s.next_out = out;
      s.avail_out = Chunk;
    }
  }
  lzma_end(&s);
  return ret == LZMA_STREAM_END && uint32_t(crc) == e.crc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: lzma_bench FILE.zip...\n");
    return 2;
  }
  BuildCrcTable();
  const FileHandle sink = FileCreate("/dev/null");
  char lzmaName[] = "/tmp/lzma_bench-XXXXXX", scratchName[] = "/tmp/lzma_bench-XXXXXX";
  const FileHandle lzmaFile = mkstemp(lzmaName), scratch = mkstemp(scratchName);
  if (lzmaFile < 0 || scratch < 0) return 2;
  unlink(lzmaName);
  unlink(scratchName);
  std::vector<uint8_t> in(Chunk), out(Chunk);
  bench::Stats total;
  bool allGood = true;
  for (int a = 1; a < argc; ++a) {
    const FileHandle fd = FileOpenRead(argv[a]);
    if (fd == NoFile) {
      std::fprintf(stderr, "cannot open %s\n", argv[a]);
      return 2;
    }
    int skipped = 0;
    FileSeek(lzmaFile, 0);
    if (ftruncate(lzmaFile, 0) != 0) return 2;
    const std::vector<Entry> entries = MakeEntries(fd, lzmaFile, scratch, skipped);
    uint64_t packed = 0;
    for (const Entry& e : entries) packed += e.compressedSize;
    const bench::Stats s = bench::TimeEntries(
        argv[a], entries, [&](const Entry& e) { return ZelvixEntry(e, lzmaFile, sink); },
        [&](const Entry& e) { return PeerEntry(e, lzmaFile, sink, in.data(), out.data()); }, "liblzma", allGood);
    char label[80];
    std::snprintf(label, sizeof label, "%s (%zu entries, %d skipped, %.3f)", bench::BaseName(argv[a]), entries.size(),
                  skipped, s.megabytes > 0 ? packed / 1e6 / s.megabytes : 0.0);
    bench::Print(label, s, "liblzma");
    bench::Add(total, s);
    FileClose(fd);
  }
  bench::Print("total", total, "liblzma");
  return allGood ? 0 : 1;
}
