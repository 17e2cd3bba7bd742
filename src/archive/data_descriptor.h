// Where an entry ends when its local header does not say: data descriptors (flag bit 3) after
// the data, and ZIP64 sizes in the extra field. Used by the extraction walk for every entry.
#pragma once
#include <cstdint>
#include "archive/local_header.h"
#include "util/file_io.h"

constexpr uint32_t DataDescriptorSignature = 0x08074B50;  // "PK\7\8"
constexpr uint16_t Zip64ExtraId = 0x0001;

// An 8-byte little-endian size or position, or Unusable64 when it does not fit a 32-bit position.
constexpr uint32_t Unusable64 = 0x80000000;
uint32_t LoadSize64(const uint8_t* p);
// A 64-bit uncompressed size as 32 bits: 0xFFFFFFFF for 4 GiB or more, which no entry of a
// package reaches (the output's limit then stops it there).
uint32_t LoadUncompressed64(const uint8_t* p);

enum class ExtentStatus : uint8_t {
  Known,    // the fields below hold
  Unknown,  // nothing tells where the data end (deferred sizes and no descriptor found)
  TooFar,   // the end lies beyond the 32-bit positions of a package
};

struct EntryExtent {
  ExtentStatus status;
  uint32_t compressedSize;  // bytes of the entry's data (the encryption header included)
  uint32_t crc32;           // the CRC-32 to check the entry against
  uint32_t uncompressedSize;  // the size the entry's data decode to (0xFFFFFFFF: 4 GiB or more)
  int32_t nextHeader;       // position of the record after the entry (and its descriptor)
};

// The extent of the entry whose local header is header and whose data begin at dataPos in file;
// extra/extraLength are its extra field. Sizes come from the local header, or from its ZIP64
// field. With flag bit 3, a descriptor at the stated end is stepped over, and values the header
// leaves at zero (CRC-32, uncompressed size) come from it. When the stated end leads to neither a descriptor nor a header
// (sizes deferred as 0, or a stored entry encrypted on the fly, whose header states its plain
// size), a buffered forward scan finds the descriptor whose size field equals its own distance
// from dataPos and which is followed by a local or central header (or, signed, by the end of the
// file); that descriptor then decides sizes and CRC-32. An end beyond 32-bit positions is
// TooFar; a deferred size with no descriptor leaves the extent Unknown.
// The file position is left anywhere.
EntryExtent FindEntryExtent(FileHandle file, const LocalFileHeader& header, int32_t dataPos, const uint8_t* extra,
                            uint32_t extraLength);
