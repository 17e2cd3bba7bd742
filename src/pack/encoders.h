// The compressors of zelvix-pack: deflate through libdeflate at its highest level, and LZMA
// through liblzma's raw LZMA1 encoder, framed as ZIP method 14 data. folder_pack.cpp calls them
// per file (DeflateEncoder, LzmaEntry) and over a solid package's whole payload (LzmaStream);
// LzmaDecodeEntry reads back a solid payload made elsewhere, to check it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "pack/zip_writer.h"

// Whole-buffer deflate at libdeflate's level 12. The compressor's tables are kept from one
// entry to the next.
class DeflateEncoder {
public:
  DeflateEncoder();
  ~DeflateEncoder();
  DeflateEncoder(const DeflateEncoder&) = delete;
  DeflateEncoder& operator=(const DeflateEncoder&) = delete;
  // The deflate stream of data into out; false when it would not be shorter than size (the
  // entry is then better stored).
  bool Compress(const uint8_t* data, uint64_t size, Bytes& out);
private:
  struct libdeflate_compressor* compressor_;
};

// The LZMA settings of one stream, chosen by measurement on bench/pack_sizes.sh's payloads
// (encoders.cpp, LzmaSettingsFor).
struct LzmaSettings {
  uint32_t dictSize;
  uint32_t lc, lp, pb;
};

// The largest dictionary written: the stub allocates min(dictionary, entry size) as one block
// in a 32-bit process, where 64 MiB is still had reliably.
constexpr uint32_t MaxLzmaDictionary = 64u << 20;

// The settings for data of size bytes: lc 3, lp 0, pb 2, and a dictionary of the size rounded
// up to 2^n or 3 * 2^(n-1), at least 4 KiB and at most MaxLzmaDictionary.
LzmaSettings LzmaSettingsFor(uint64_t size);

// ZIP method 14 data begin with this: the format's version (9.20), the properties' size (5),
// then the properties: (pb * 5 + lp) * 9 + lc and the dictionary size.
constexpr uint32_t LzmaHeaderSize = 4 + 5;
void LzmaHeader(const LzmaSettings& s, uint8_t header[LzmaHeaderSize]);

// Method 14 data of one entry: the header, then the stream without an end marker (the entry's
// size ends it). False when that would not be shorter than size (unless always), or when
// liblzma fails.
bool LzmaEntry(const uint8_t* data, uint64_t size, Bytes& out, bool always = false);

// One LZMA stream fed piece by piece (a solid package's payload): Start, then Feed for every
// piece and Finish once; each call appends what the encoder gives to out. False when liblzma
// fails (memory).
class LzmaStream {
public:
  LzmaStream();
  ~LzmaStream();
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;
  // Readies the encoder for totalSize bytes in all; out receives the header.
  bool Start(uint64_t totalSize, Bytes& out);
  bool Feed(const uint8_t* data, uint64_t size, Bytes& out);
  bool Finish(Bytes& out);
private:
  bool Code(int action, Bytes& out);
  std::unique_ptr<struct LzmaStreamState> state_;
};

// Decodes size bytes of method 14 data (header, properties, stream without an end marker) of
// compressed bytes from in's position into out, and gives their CRC-32. Empty when the data
// decode to exactly size bytes; otherwise what is wrong.
std::string LzmaDecodeEntry(FileHandle in, uint32_t compressed, uint32_t size, FileHandle out, uint32_t& crc);
