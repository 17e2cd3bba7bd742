// FindEntryExtent (see data_descriptor.h). Positions in a package are 32-bit, so every size
// here is too: a ZIP64 size of 2 GB or more leaves the extent unknown.
#include "archive/data_descriptor.h"
#include "archive/local_header.h"
#include "util/bytes.h"
#include "util/memory.h"

uint32_t LoadSize64(const uint8_t* p) {
  const uint32_t low = LoadLE32(p);
  return LoadLE32(p + 4) != 0 || low >= Unusable64 ? Unusable64 : low;
}

uint32_t LoadUncompressed64(const uint8_t* p) { return LoadLE32(p + 4) != 0 ? 0xFFFFFFFF : LoadLE32(p); }

namespace {

constexpr uint32_t ScanChunk = 65536;
constexpr uint32_t LongestDescriptor = 24;  // signature, CRC-32, two 8-byte sizes
constexpr uint32_t ScanBuffer = ScanChunk + LongestDescriptor + 4;
constexpr uint32_t Missing = 0xFFFFFFFF;    // a size left to the ZIP64 field
constexpr uint32_t Unusable = Unusable64;   // no 32-bit position lies this far on

bool IsHeaderSignature(const uint8_t* p) {
  return IsLocalHeaderSignature(p) || LoadLE32(p) == ZipCentralHeaderSignature;
}

// What a descriptor holds besides the compressed size, which its place already tells.
struct DescriptorFields {
  uint32_t crc = 0, uncompressed = 0;
};

// The compressed size from the ZIP64 extended-information field (size bytes at field; null
// when there is none). The local header carries both sizes there, uncompressed first; a field
// of 8 bytes holds just the one marked missing. Missing when there is no such field.
uint32_t Zip64CompressedSize(const LocalFileHeader& header, const uint8_t* field, uint32_t size) {
  if (field == nullptr) return Missing;
  if (size >= 16) return LoadSize64(field + 8);
  if (size >= 8 && header.UncompressedSize != Missing) return LoadSize64(field);
  return Missing;
}

// Checks for a descriptor at p (available: bytes readable from p) ending `distance` bytes of
// data. With sizeKnown (the local header told where the data end) a signed descriptor needs no
// size check. Returns its length, 0 when there is none; fields receives its CRC-32 and
// uncompressed size, and stays as it was when there is none.
uint32_t DescriptorAt(const uint8_t* p, uint32_t available, uint32_t distance, bool zip64, bool sizeKnown,
                      DescriptorFields& fields) {
  // With its signature: followed by a header, or by the end of the file. Without it: only when
  // a header follows. Then the CRC-32, the compressed size and the uncompressed one.
  for (uint32_t signature = 4;; signature = 0) {
    const uint32_t length = signature + (zip64 ? 20 : 12);
    const uint8_t* crc = p + signature;
    if (available >= length && (signature == 0 || LoadLE32(p) == DataDescriptorSignature) &&
        (sizeKnown || (zip64 ? LoadSize64(crc + 4) : LoadLE32(crc + 4)) == distance) &&
        ((signature != 0 && available == length) || (available >= length + 4 && IsHeaderSignature(p + length)))) {
      fields.crc = LoadLE32(crc);
      fields.uncompressed = zip64 ? LoadUncompressed64(crc + 12) : LoadLE32(crc + 8);
      return length;
    }
    if (signature == 0) return 0;
  }
}

// Scans forward from dataPos for the descriptor that ends the entry's data; size receives the
// data's length. Reads the file once, in 64 KB chunks that overlap by a descriptor's length.
uint32_t ScanForDescriptor(FileHandle file, int32_t dataPos, bool zip64, uint32_t& size, DescriptorFields& fields) {
  MemBlock buffer(ScanBuffer);
  uint8_t* bytes = buffer.get();
  uint32_t chunk = 0;  // distance of the buffer's first byte from dataPos
  uint32_t held = 0;
  if (FileSeek(file, dataPos) != dataPos) return 0;
  for (;;) {
    const int32_t got = FileRead(file, bytes + held, ScanBuffer - held);
    if (got < 0) return 0;
    held += uint32_t(got);
    const bool atEnd = held < ScanBuffer;
    const uint32_t last = atEnd ? held : ScanChunk;
    for (uint32_t i = 0; i < last; ++i) {
      const uint32_t length = DescriptorAt(bytes + i, held - i, chunk + i, zip64, false, fields);
      if (length != 0) {
        size = chunk + i;
        return length;
      }
    }
    if (atEnd || chunk >= Unusable - ScanChunk) return 0;
    held -= ScanChunk;
    for (uint32_t i = 0; i < held; ++i) bytes[i] = bytes[ScanChunk + i];  // the overlap
    chunk += ScanChunk;
  }
}

}  // namespace

EntryExtent FindEntryExtent(FileHandle file, const LocalFileHeader& header, int32_t dataPos, const uint8_t* extra,
                            uint32_t extraLength) {
  EntryExtent extent{ExtentStatus::TooFar, header.CompressedSize, header.Crc32, header.UncompressedSize, -1};
  uint32_t compressed = header.CompressedSize;
  bool zip64 = false;
  if (compressed == Missing || header.UncompressedSize == Missing) {
    uint32_t size;  // set when a field is found
    const uint8_t* field = FindExtraField(extra, extraLength, Zip64ExtraId, size);
    const uint32_t fromExtra = Zip64CompressedSize(header, field, size);
    zip64 = fromExtra != Missing;
    if (zip64) compressed = fromExtra;
    // The uncompressed size stands first in the field, when the header leaves it to it.
    if (field != nullptr && size >= 8 && header.UncompressedSize == Missing) extent.uncompressedSize = LoadUncompressed64(field);
  }
  if (compressed >= Unusable) return extent;  // never a seek computed from 0xFFFFFFFF
  DescriptorFields fields;
  uint32_t length = 0;
  if (header.Flags & FlagDataDescriptor) {
    // At the end the header states: a descriptor, or the next record when there is none.
    bool stated = false;
    if (compressed != 0 && uint32_t(dataPos) + compressed < Unusable) {
      uint8_t tail[LongestDescriptor + 4];
      const int32_t at = dataPos + int32_t(compressed);
      const int32_t got = FileSeek(file, at) == at ? FileRead(file, tail, sizeof tail) : -1;
      if (got > 0) length = DescriptorAt(tail, uint32_t(got), compressed, zip64, true, fields);
      stated = length != 0 || got == 0 || (got >= 4 && IsHeaderSignature(tail));
    }
    // Otherwise the header's sizes are deferred (zero) or wrong: a stored entry encrypted on the
    // fly carries its plain size, without the 12-byte encryption header. Then the descriptor
    // found by scanning decides both the size and the CRC-32 (such headers hold a check value
    // in the CRC field, not the CRC).
    // With no descriptor anywhere, a stated size still stands and the walk goes on after it.
    if (!stated) {
      uint32_t found = 0;
      length = ScanForDescriptor(file, dataPos, zip64, found, fields);
      if (length != 0) {
        compressed = found;
        extent.crc32 = fields.crc;
        extent.uncompressedSize = fields.uncompressed;
      } else if (compressed == 0) {
        extent.status = ExtentStatus::Unknown;
        return extent;
      }
    }
  }
  const uint32_t next = uint32_t(dataPos) + compressed + length;
  if (next >= Unusable || next < uint32_t(dataPos)) return extent;
  extent.status = ExtentStatus::Known;
  extent.compressedSize = compressed;
  // Without a descriptor fields holds zeros: nothing changes then.
  if (extent.crc32 == 0) extent.crc32 = fields.crc;
  if (extent.uncompressedSize == 0) extent.uncompressedSize = fields.uncompressed;
  extent.nextHeader = int32_t(next);
  return extent;
}
