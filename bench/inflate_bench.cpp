// inflate_bench FILE.zip...: decodes every deflated, unencrypted entry with Zelvix's inflater
// (window, CRC fold and 32 KB reads as in the product, output to the null device) and with
// zlib's inflate plus crc32() over the same 32 KB output chunks; prints MB of output, both
// speeds and their ratio per file and in total (best of several repetitions). Exit status 1
// when any entry fails its CRC-32 in either decoder, 2 on a usage or file error.
// Built natively and for Windows: the Windows build compiles the decoder as the stub does and
// runs under Wine, so its ratio is the stub's own. Both sides read and write through the same
// file seam.
#include <zlib.h>
#include <chrono>
#include <cstdio>
#include <vector>
#include "archive/local_header.h"
#include "archive/walk.h"
#include "inflate/inflate.h"
#include "util/crc32.h"

namespace {

constexpr int Repetitions = 5;
constexpr uint32_t Chunk = 32768;

struct Entry {
  int32_t offset;  // of the compressed data
  uint32_t compressedSize, size, crc;
};

struct FileStats {
  double megabytes = 0, zelvixSeconds = 0, zlibSeconds = 0;
};

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Walks the entries with the product's walk; other entries are counted and skipped.
std::vector<Entry> ListEntries(FileHandle file, const char* path, int& skipped) {
  std::vector<Entry> entries;
  EntryWalk walk;
  StartWalk(walk, file, 0);
  while (NextEntry(walk)) {
    const LocalFileHeader& h = walk.header;
    if (walk.endKnown && h.Method == 8 && !(h.Flags & FlagEncrypted))
      entries.push_back({walk.dataPos, h.CompressedSize, h.UncompressedSize, h.Crc32});
    else
      ++skipped;
  }
  if (walk.stop != WalkStop::End) std::fprintf(stderr, "%s: the entries after the last one listed cannot be reached\n", path);
  return entries;
}

// The entry through the records the extraction run builds.
bool ZelvixEntry(const Entry& e, FileHandle fd, FileHandle sink) {
  FileSeek(fd, e.offset);
  EntryInput in(fd, int32_t(e.compressedSize));
  EntryOutput out(sink);
  return Inflate(in, out) && OutputCrc(out) == e.crc;
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

void Print(const char* name, const FileStats& s) {
  const double zelvix = s.megabytes / s.zelvixSeconds, zlib = s.megabytes / s.zlibSeconds;
  std::printf("%-40s %9.1f MB  zelvix %8.1f MB/s  zlib %8.1f MB/s  ratio %.3f\n", name, s.megabytes, zelvix, zlib,
              zelvix / zlib);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: inflate_bench FILE.zip...\n");
    return 2;
  }
  BuildCrcTable();
#ifdef _WIN32
  const FileHandle sink = FileCreate("NUL");
#else
  const FileHandle sink = FileCreate("/dev/null");
#endif
  std::vector<uint8_t> in(Chunk), out(Chunk);
  FileStats total;
  bool allGood = true;
  for (int a = 1; a < argc; ++a) {
    const FileHandle fd = FileOpenRead(argv[a]);
    if (fd == NoFile) {
      std::fprintf(stderr, "cannot open %s\n", argv[a]);
      return 2;
    }
    int skipped = 0;
    const std::vector<Entry> entries = ListEntries(fd, argv[a], skipped);
    FileStats s;
    for (const Entry& e : entries) s.megabytes += e.size / 1e6;
    double bestZelvix = 1e30, bestZlib = 1e30;
    for (int rep = 0; rep < Repetitions; ++rep) {
      double t0 = Now();
      for (const Entry& e : entries)
        if (!ZelvixEntry(e, fd, sink)) {
          if (rep == 0) std::fprintf(stderr, "%s: zelvix CRC mismatch at offset %d\n", argv[a], e.offset);
          allGood = false;
        }
      double t1 = Now();
      for (const Entry& e : entries)
        if (!ZlibEntry(e, fd, sink, in.data(), out.data())) {
          if (rep == 0) std::fprintf(stderr, "%s: zlib CRC mismatch at offset %d\n", argv[a], e.offset);
          allGood = false;
        }
      double t2 = Now();
      if (t1 - t0 < bestZelvix) bestZelvix = t1 - t0;
      if (t2 - t1 < bestZlib) bestZlib = t2 - t1;
    }
    s.zelvixSeconds = bestZelvix;
    s.zlibSeconds = bestZlib;
    const char* base = argv[a];
    for (const char* p = argv[a]; *p; ++p)
      if (*p == '/' || *p == '\\') base = p + 1;
    char label[64];
    std::snprintf(label, sizeof label, "%s (%zu entries, %d skipped)", base, entries.size(), skipped);
    Print(label, s);
    total.megabytes += s.megabytes;
    total.zelvixSeconds += s.zelvixSeconds;
    total.zlibSeconds += s.zlibSeconds;
    FileClose(fd);
  }
  Print("total", total);
  return allGood ? 0 : 1;
}
