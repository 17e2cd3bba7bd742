// The entry walk (see walk.h).
#include "archive/walk.h"
#include "app/state.h"
#include "archive/local_header.h"

void SeekArchive(int32_t position) {
  LastSeekPos = FileSeek(ArchiveHandle, position);
}

bool StartWalk(EntryWalk& walk, int32_t archiveOffset) {
  SeekArchive(archiveOffset);
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

bool ReadExactly(void* buffer, uint32_t count) {
  return count == 0 || FileRead(ArchiveHandle, buffer, count) == int32_t(count);
}

WalkStop Stop(EntryWalk& walk, WalkStop why) {
  walk.stop = why;
  return why;
}

// Reads the header at walk.nextHeader with its name and extra field. Walking when it is one.
WalkStop ReadEntryHeader(EntryWalk& walk) {
  walk.headerPos = walk.nextHeader;
  SeekArchive(walk.headerPos);
  uint8_t bytes[LocalHeaderSize];
  if (LastSeekPos != walk.headerPos || !ReadExactly(bytes, LocalHeaderSize)) return Stop(walk, WalkStop::CutHeader);
  LocalHeader = DecodeLocalHeader(bytes);
  // Only the published signature counts; in a sound archive the central directory comes next.
  if (LocalHeader.Signature != ZipLocalHeaderSignature) {
    CompressedLeft = 0;
    return Stop(walk, WalkStop::End);
  }
  CompressedLeft = int32_t(LocalHeader.CompressedSize);
  const uint32_t nameLength = LocalHeader.NameLength, fieldsLength = nameLength + LocalHeader.ExtraLength;
  if (!AddToPosition(walk.headerPos, LocalHeaderSize + fieldsLength, walk.dataPos))
    return Stop(walk, WalkStop::TooFar);
  walk.name = walk.fields.get();
  walk.extra = walk.name + nameLength;
  return ReadExactly(walk.fields.get(), fieldsLength) ? WalkStop::Walking : Stop(walk, WalkStop::CutHeader);
}

// Where the data end: straight from the header's sizes, unless it defers them to a data
// descriptor (flag bit 3) or to a ZIP64 field. The values found replace the header's, so the
// data readers and the CRC-32 comparison use them.
void SettleExtent(EntryWalk& walk) {
  const bool zip64 = LocalHeader.CompressedSize == 0xFFFFFFFF || LocalHeader.UncompressedSize == 0xFFFFFFFF;
  if (!(LocalHeader.Flags & FlagDataDescriptor) && !zip64) {
    walk.endKnown = true;
    if (!AddToPosition(walk.dataPos, LocalHeader.CompressedSize, walk.nextHeader)) Stop(walk, WalkStop::TooFar);
    return;
  }
  const EntryExtent extent = FindEntryExtent(walk.dataPos, walk.extra, LocalHeader.ExtraLength);
  walk.endKnown = extent.status == ExtentStatus::Known;
  if (extent.status == ExtentStatus::TooFar) Stop(walk, WalkStop::TooFar);
  walk.nextHeader = extent.nextHeader;
  LocalHeader.CompressedSize = extent.compressedSize;
  LocalHeader.Crc32 = extent.crc32;
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
