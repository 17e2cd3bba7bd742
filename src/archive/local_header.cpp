// ZIP local file header reader (see local_header.h).
#include "archive/local_header.h"
#include "app/state.h"
#include "util/bytes.h"
#include "util/fatal.h"
#include "util/message.h"

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

void ReportCorruptedArchive() {
  ShowMessage("Error reading header... Corrupted archive!", "Zelvix Error", MsgOk);
  ExitProgram(1);
}

bool ReadLocalHeader() {
  uint8_t bytes[LocalHeaderSize];
  // One read call, no retry: a failed or short read means the archive ends inside a header.
  if (FileRead(ArchiveHandle, bytes, LocalHeaderSize) != int32_t(LocalHeaderSize)) ReportCorruptedArchive();
  LocalHeader = DecodeLocalHeader(bytes);
  // Only the published signature counts; no ZIP record begins with anything else here.
  const bool isHeader = LocalHeader.Signature == ZipLocalHeaderSignature;
  CompressedLeft = isHeader ? int32_t(LocalHeader.CompressedSize) : 0;
  return isHeader;
}
