// What the decoder benchmarks share: the entries of one file, timed through Zelvix's decoder and
// through a peer's (best of Repetitions each, the two alternating), then printed per file and in
// total as MB of output, both speeds and their ratio. A decoder returns false when the entry
// failed or its CRC-32 differs; the first repetition reports it.
#pragma once
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>
#include "util/file_io.h"

namespace bench {

constexpr int Repetitions = 5;
constexpr uint32_t Chunk = 32768;

struct Entry {
  int32_t offset;  // of the compressed data
  uint32_t compressedSize, size, crc;
  uint32_t dict = 0;  // LZMA: the dictionary size the stream was made with
};

struct Stats {
  double megabytes = 0, zelvixSeconds = 0, peerSeconds = 0;
};

using Decoder = std::function<bool(const Entry&)>;

inline double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Times both decoders over entries; allGood turns false at any failure. peer may be empty: its
// time is then 0.
inline Stats TimeEntries(const char* path, const std::vector<Entry>& entries, const Decoder& zelvix,
                         const Decoder& peer, const char* peerName, bool& allGood) {
  Stats s;
  for (const Entry& e : entries) s.megabytes += e.size / 1e6;
  double best[2] = {1e30, peer ? 1e30 : 0};
  for (int rep = 0; rep < Repetitions; ++rep) {
    for (int side = 0; side < (peer ? 2 : 1); ++side) {
      const double t0 = Now();
      for (const Entry& e : entries)
        if (!(side == 0 ? zelvix : peer)(e)) {
          if (rep == 0) std::fprintf(stderr, "%s: %s CRC mismatch at offset %d\n", path, side == 0 ? "zelvix" : peerName, e.offset);
          allGood = false;
        }
      const double t = Now() - t0;
      if (t < best[side]) best[side] = t;
    }
  }
  s.zelvixSeconds = best[0];
  s.peerSeconds = best[1];
  return s;
}

inline void Print(const char* name, const Stats& s, const char* peerName) {
  const double zelvix = s.megabytes / s.zelvixSeconds;
  if (s.peerSeconds == 0) {
    std::printf("%-40s %9.1f MB  zelvix %8.1f MB/s\n", name, s.megabytes, zelvix);
    return;
  }
  const double peer = s.megabytes / s.peerSeconds;
  std::printf("%-40s %9.1f MB  zelvix %8.1f MB/s  %s %8.1f MB/s  ratio %.3f\n", name, s.megabytes, zelvix, peerName,
              peer, zelvix / peer);
}

inline void Add(Stats& total, const Stats& s) {
  total.megabytes += s.megabytes;
  total.zelvixSeconds += s.zelvixSeconds;
  total.peerSeconds += s.peerSeconds;
}

inline const char* BaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

}  // namespace bench
