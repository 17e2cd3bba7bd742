// Runs the decoders of the core on byte strings through real files: the compressed bytes are
// written to an (unlinked) temporary file that becomes ArchiveHandle, the output goes to another
// that becomes OutputHandle, exactly as the extraction run sets them up.
#pragma once
#include <cstdint>
#include "support/temp_dir.h"

// Allocates CrcTable once and builds the CRC tables.
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
  uint32_t crc = 0;            // RunningCrc complemented: the CRC-32 of what was folded
  int32_t compressedLeft = 0;  // CompressedLeft afterwards
};

// Decodes `data` as one deflated entry of `compressedSize` bytes (WholeInput: all of it), with
// LocalHeader.Flags = flags (keys already set up by the caller when bit 0 is set).
constexpr int64_t WholeInput = INT64_MIN;
EntryResult InflateBytes(const Bytes& data, int64_t compressedSize = WholeInput, uint16_t flags = 0);
// The same through CopyStoredEntry.
EntryResult CopyStoredBytes(const Bytes& data, int64_t compressedSize = WholeInput, uint16_t flags = 0);
// zlib's CRC-32 of the bytes.
uint32_t ZlibCrc(const Bytes& data);
