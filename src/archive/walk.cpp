// The entry walk (see walk.h).
#include "archive/walk.h"

int32_t LastSeekPos;

void SeekArchive(FileHandle file, int32_t position) {
  LastSeekPos = FileSeek(file, position);
}

bool StartWalk(EntryWalk& walk, FileHandle file, int32_t archiveOffset) {
  walk.file = file;
  SeekArchive(file, archiveOffset);
  walk.nextHeader = archiveOffset;
  walk.endKnown = true;
  walk.stop = WalkStop::Walking;
  return LastSeekPos != -1;
}

namespace {

// base + length as a position, false when it lies beyond MaxPackagePosition. base is a
// position already, so the unsigned sum cannot wrap.
bool AddToPosition(int32_t base, uint32_t length, int32_t& sum) {
  if (length > MaxPackagePosition - uint32_t(base)) return false;
  sum = int32_t(uint32_t(base) + length);
  return true;
}

bool ReadExactly(FileHandle file, void* buffer, uint32_t count) {
  return count == 0 || FileRead(file, buffer, count) == int32_t(count);
}

WalkStop Stop(EntryWalk& walk, WalkStop why) {
  walk.stop = why;
  return why;
}

// Reads the header at walk.nextHeader with its name and extra field. Walking when it is one.
WalkStop ReadEntryHeader(EntryWalk& walk) {
  walk.headerPos = walk.nextHeader;
  SeekArchive(walk.file, walk.headerPos);
  uint8_t bytes[LocalHeaderSize];
  if (LastSeekPos != walk.headerPos || !ReadExactly(walk.file, bytes, LocalHeaderSize)) return Stop(walk, WalkStop::CutHeader);
  walk.header = DecodeLocalHeader(bytes);
  // Only the published signature counts; in a sound archive the central directory comes next.
  if (!IsLocalHeaderSignature(walk.header.Signature)) return Stop(walk, WalkStop::End);
  const uint32_t nameLength = walk.header.NameLength, fieldsLength = nameLength + walk.header.ExtraLength;
  if (!AddToPosition(walk.headerPos, LocalHeaderSize + fieldsLength, walk.dataPos))
    return Stop(walk, WalkStop::TooFar);
  walk.name = walk.fields.get();
  walk.extra = walk.name + nameLength;
  return ReadExactly(walk.file, walk.fields.get(), fieldsLength) ? WalkStop::Walking : Stop(walk, WalkStop::CutHeader);
}

// Where the data end: straight from the header's sizes, unless it defers them to a data
// descriptor (flag bit 3) or to a ZIP64 field. The values found replace the header's, so the
// data readers and the CRC-32 comparison use them.
void SettleExtent(EntryWalk& walk) {
  LocalFileHeader& header = walk.header;
  const bool zip64 = header.CompressedSize == 0xFFFFFFFF || header.UncompressedSize == 0xFFFFFFFF;
  if (!(header.Flags & FlagDataDescriptor) && !zip64) {
    walk.endKnown = true;
    if (!AddToPosition(walk.dataPos, header.CompressedSize, walk.nextHeader)) Stop(walk, WalkStop::TooFar);
    return;
  }
  const EntryExtent extent = FindEntryExtent(walk.file, header, walk.dataPos, walk.extra, header.ExtraLength);
  walk.endKnown = extent.status == ExtentStatus::Known;
  if (extent.status == ExtentStatus::TooFar) Stop(walk, WalkStop::TooFar);
  walk.nextHeader = extent.nextHeader;
  header.CompressedSize = extent.compressedSize;
  header.UncompressedSize = extent.uncompressedSize;
  header.Crc32 = extent.crc32;
}

}  // namespace

bool NextEntry(EntryWalk& walk) {
  if (walk.stop != WalkStop::Walking) return false;
  if (!walk.endKnown) {
    walk.stop = WalkStop::EndUnknown;
    return false;
  }
  if (ReadEntryHeader(walk) != WalkStop::Walking) return false;
  SettleExtent(walk);
  return walk.stop == WalkStop::Walking;
}
