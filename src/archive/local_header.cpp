// ZIP local file header (see local_header.h).
#include "archive/local_header.h"
#include "util/bytes.h"

LocalFileHeader DecodeLocalHeader(const uint8_t* b) {
  LocalFileHeader h;
  h.Signature = LoadLE32(b + 0);
  h.VersionNeeded = LoadLE16(b + 4);
  h.Flags = LoadLE16(b + 6);
  h.Method = LoadLE16(b + 8);
  h.ModTime = LoadLE16(b + 10);
  h.ModDate = LoadLE16(b + 12);
  h.Crc32 = LoadLE32(b + 14);
  h.CompressedSize = LoadLE32(b + 18);
  h.UncompressedSize = LoadLE32(b + 22);
  h.NameLength = LoadLE16(b + 26);
  h.ExtraLength = LoadLE16(b + 28);
  return h;
}

const uint8_t* FindExtraField(const uint8_t* extra, uint32_t length, uint16_t id, uint32_t& size) {
  // Each field: a 2-byte id, a 2-byte size, then that many bytes.
  for (uint32_t at = 0; at + 4 <= length; at += 4 + size) {
    size = LoadLE16(extra + at + 2);
    if (size > length - at - 4) break;
    if (LoadLE16(extra + at) == id) return extra + at + 4;
  }
  return nullptr;
}
