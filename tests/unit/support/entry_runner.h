// Runs the codecs of the core on byte strings through real files: the compressed bytes are
// written to an (unlinked) temporary file that the entry's input reads, and its output goes to
// another, through the records the extraction run builds for each entry.
#pragma once
#include <cstdint>
#include "codec/entry_io.h"
#include "support/temp_dir.h"

// Builds the CRC tables (once).
void EnsureCrcTable();
// An unlinked temporary file, read-write. Closed by the destructor.
struct TempFile {
  TempFile();
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  void Set(const Bytes& data);  // truncates, writes, rewinds
  Bytes Contents() const;
  int fd;
};

struct EntryResult {
  Bytes output;
  uint32_t crc = 0;            // the output's CRC-32: of what was folded
  int32_t compressedLeft = 0;  // the input's bytes left afterwards
  bool ended = false;          // the codec's result
};

// Decodes `data` with a codec as one entry of `compressedSize` bytes (WholeInput: all of it),
// deciphered with keys when given (ready for the first data byte), with the entry's declared
// size and general-purpose flags as the run sets them.
constexpr int64_t WholeInput = INT64_MIN;
using CodecFunction = bool (*)(EntryInput&, EntryOutput&);
EntryResult DecodeBytes(CodecFunction codec, const Bytes& data, int64_t compressedSize = WholeInput,
                        const CipherKeys* keys = nullptr, uint32_t declaredSize = 0xFFFFFFFF, uint16_t flags = 0);
// The same through Inflate, CopyStored and DecodeLzma (flag bit 1 when endMarker).
EntryResult InflateBytes(const Bytes& data, int64_t compressedSize = WholeInput, const CipherKeys* keys = nullptr);
EntryResult LzmaBytes(const Bytes& data, uint32_t declaredSize, bool endMarker, int64_t compressedSize = WholeInput);
EntryResult CopyStoredBytes(const Bytes& data, int64_t compressedSize = WholeInput, const CipherKeys* keys = nullptr);
// zlib's CRC-32 of the bytes.
uint32_t ZlibCrc(const Bytes& data);
