// inflate_bench [--lzma] FILE.zip...: decodes every deflated, unencrypted entry with Zelvix's
// inflater (window, CRC fold and 32 KB reads as in the product, output to the null device) and
// with zlib's inflate plus crc32() over the same 32 KB output chunks; prints MB of output, both
// speeds and their ratio per file and in total (best of several repetitions). With --lzma, the
// LZMA (method 14) entries through DecodeLzma alone: the Windows figure of the stub's LZMA
// decoder, whose peer is measured natively (lzma_bench). Exit status 1 when any entry fails its
// CRC-32 in either decoder, 2 on a usage or file error.
// Built natively and for Windows: the Windows build compiles the decoders as the stub does and
// runs under Wine, so its ratio is the stub's own. Both sides read and write through the same
// file seam.
#include <zlib.h>
#include <cstring>
#include <vector>
#include "archive/local_header.h"
#include "archive/walk.h"
#include "bench_harness.h"
#include "inflate/inflate.h"
#include "lzma/lzma.h"
#include "util/crc32.h"

namespace {

using bench::Chunk;
using bench::Entry;

// Walks the entries with the product's walk; entries of other methods are counted and skipped.
std::vector<Entry> ListEntries(FileHandle file, const char* path, uint16_t method, int& skipped) {
  std::vector<Entry> entries;
  EntryWalk walk;
  StartWalk(walk, file, 0);
  while (NextEntry(walk)) {
    const LocalFileHeader& h = walk.header;
    if (walk.endKnown && h.Method == method && !(h.Flags & FlagEncrypted))
      entries.push_back({walk.dataPos, h.CompressedSize, h.UncompressedSize, h.Crc32});
    else
      ++skipped;
  }
  if (walk.stop != WalkStop::End) std::fprintf(stderr, "%s: the entries after the last one listed cannot be reached\n", path);
  return entries;
}

// The entry through the records the extraction run builds.
bool ZelvixEntry(const Entry& e, FileHandle fd, FileHandle sink, bool lzma) {
  FileSeek(fd, e.offset);
  EntryInput in(fd, int32_t(e.compressedSize));
  EntryOutput out(sink);
  out.declaredSize = e.size;
  return (lzma ? DecodeLzma(in, out) : Inflate(in, out)) && OutputCrc(out) == e.crc;
}

bool ZlibEntry(const Entry& e, FileHandle fd, FileHandle sink, uint8_t* in, uint8_t* out) {
  z_stream z{};
  inflateInit2(&z, -15);
  FileSeek(fd, e.offset);
  uint32_t left = e.compressedSize;
  uLong crc = crc32(0, nullptr, 0);
  int ret = Z_OK;
  z.next_out = out;
  z.avail_out = Chunk;
  while (ret == Z_OK) {
    if (z.avail_in == 0 && left > 0) {
      const int32_t got = FileRead(fd, in, left < Chunk ? left : Chunk);
      if (got <= 0) break;
      left -= uint32_t(got);
      z.next_in = in;
      z.avail_in = uInt(got);
    }
    ret = inflate(&z, Z_NO_FLUSH);
    if (z.avail_out == 0 || ret == Z_STREAM_END) {
      const uInt n = Chunk - z.avail_out;
      if (FileWrite(sink, out, n) != int32_t(n)) break;
      crc = crc32(crc, out, n);
      z.next_out = out;
      z.avail_out = Chunk;
    }
    if (ret == Z_BUF_ERROR && left == 0) break;
  }
  inflateEnd(&z);
  return ret == Z_STREAM_END && uint32_t(crc) == e.crc;
}

}  // namespace

int main(int argc, char** argv) {
  const bool lzma = argc > 1 && std::strcmp(argv[1], "--lzma") == 0;
  if (argc < (lzma ? 3 : 2)) {
    std::fprintf(stderr, "usage: inflate_bench [--lzma] FILE.zip...\n");
    return 2;
  }
  BuildCrcTable();
#ifdef _WIN32
  const FileHandle sink = FileCreate("NUL");
#else
  const FileHandle sink = FileCreate("/dev/null");
#endif
  std::vector<uint8_t> in(Chunk), out(Chunk);
  bench::Stats total;
  bool allGood = true;
  for (int a = lzma ? 2 : 1; a < argc; ++a) {
    const FileHandle fd = FileOpenRead(argv[a]);
    if (fd == NoFile) {
      std::fprintf(stderr, "cannot open %s\n", argv[a]);
      return 2;
    }
    int skipped = 0;
    const std::vector<Entry> entries = ListEntries(fd, argv[a], lzma ? 14 : 8, skipped);
    bench::Decoder peer;
    if (!lzma) peer = [&](const Entry& e) { return ZlibEntry(e, fd, sink, in.data(), out.data()); };
    const bench::Stats s = bench::TimeEntries(
        argv[a], entries, [&](const Entry& e) { return ZelvixEntry(e, fd, sink, lzma); }, peer, "zlib", allGood);
    char label[64];
    std::snprintf(label, sizeof label, "%s (%zu entries, %d skipped)", bench::BaseName(argv[a]), entries.size(), skipped);
    bench::Print(label, s, "zlib");
    bench::Add(total, s);
    FileClose(fd);
  }
  bench::Print("total", total, "zlib");
  return allGood ? 0 : 1;
}
