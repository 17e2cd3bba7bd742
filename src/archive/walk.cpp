// The entry walk (see walk.h).
#include "archive/walk.h"
#include <cstring>
#include <new>
#include "archive/solid.h"
#include "util/bytes.h"
#include "util/crc32.h"

int32_t LastSeekPos;

EntryWalk::~EntryWalk() { MemFree(index); }

void SeekArchive(FileHandle file, int32_t position) {
  LastSeekPos = FileSeek(file, position);
}

bool StartWalk(EntryWalk& walk, FileHandle file, int32_t archiveOffset) {
  walk.file = file;
  OpenCentralDirectory(walk.central, file, archiveOffset, FileEnd(file));
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

// Reads count bytes at position: of the decoded index while the walk stands in it, else of the
// package file. follows: the bytes come right after those read last, where the file stands.
bool ReadAt(EntryWalk& walk, int32_t position, void* buffer, uint32_t count, bool follows = false) {
  if (InIndex(walk)) {
    if (uint32_t(position) > walk.indexSize || count > walk.indexSize - uint32_t(position)) return false;
    memcpy(buffer, walk.index + position, count);
    return true;
  }
  if (!follows) SeekArchive(walk.file, position);
  return (follows || LastSeekPos == position) && (count == 0 || FileRead(walk.file, buffer, count) == int32_t(count));
}

WalkStop Stop(EntryWalk& walk, WalkStop why) {
  walk.stop = why;
  return why;
}

// Reads the header at walk.nextHeader with its name and extra field. Walking when it is one.
WalkStop ReadEntryHeader(EntryWalk& walk) {
  walk.headerPos = walk.nextHeader;
  uint8_t* bytes = walk.headerBytes;
  if (!ReadAt(walk, walk.headerPos, bytes, LocalHeaderSize)) return Stop(walk, WalkStop::CutHeader);
  walk.header = DecodeLocalHeader(bytes);
  // Only the published signature counts; in a sound archive the central directory comes next.
  if (!IsLocalHeaderSignature(bytes)) return Stop(walk, WalkStop::End);
  const uint32_t nameLength = walk.header.NameLength, fieldsLength = nameLength + walk.header.ExtraLength;
  if (!AddToPosition(walk.headerPos, LocalHeaderSize + fieldsLength, walk.dataPos))
    return Stop(walk, WalkStop::TooFar);
  walk.name = walk.fields.get();
  walk.extra = walk.name + nameLength;
  return ReadAt(walk, walk.headerPos + int32_t(LocalHeaderSize), walk.fields.get(), fieldsLength, true)
             ? WalkStop::Walking
             : Stop(walk, WalkStop::CutHeader);
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

// An index entry's extent: its header alone in the index, its data behind its header in the
// payload's stream.
void SettleIndexEntry(EntryWalk& walk) {
  const LocalFileHeader& header = walk.header;
  walk.nextHeader = walk.dataPos;
  walk.listed = walk.indexListed;
  walk.streamPos = walk.streamNext;
  walk.endKnown = !(header.Flags & FlagDataDescriptor) && header.CompressedSize != 0xFFFFFFFF &&
                  header.UncompressedSize != 0xFFFFFFFF;
  // In the stream the header, name and extra field take as many bytes as in the index.
  int32_t data = 0;
  if (walk.endKnown && !(AddToPosition(int32_t(walk.streamPos), uint32_t(walk.dataPos - walk.headerPos), data) &&
                         AddToPosition(data, header.CompressedSize, data)))
    Stop(walk, WalkStop::TooFar);
  walk.streamNext = uint32_t(data);
}

// Decodes the index, the walk's current entry: its bytes, or null when it does not decode to
// its size whole, its CRC-32 differs or its block cannot be had.
uint8_t* DecodeIndex(EntryWalk& walk) {
  const LocalFileHeader& header = walk.header;
  const uint32_t size = header.UncompressedSize;
  // One byte more: an empty index is a block too.
  uint8_t* index = size < MaxPackagePosition ? static_cast<uint8_t*>(MemTryAlloc(size + 1)) : nullptr;
  if (index == nullptr) return nullptr;
  MemBlock block(sizeof(SolidPayload));
  SolidPayload& stream = *new (block.get()) SolidPayload(walk.file, header, walk.dataPos);
  uint32_t crc = 0xFFFFFFFF;
  const bool whole = stream.read(&stream, index, size) == int32_t(size);
  stream.~SolidPayload();
  if (whole) UpdateCrc(index, int32_t(size), crc);
  if (whole && (crc ^ 0xFFFFFFFF) == header.Crc32) {
    walk.indexSize = size;
    return index;
  }
  MemFree(index);
  return nullptr;
}

// Turns the walk, standing at the payload, to the index's entries.
void StartIndexWalk(EntryWalk& walk, uint8_t* index, bool indexListed) {
  walk.payload = walk.header;
  walk.payloadPos = walk.dataPos;
  walk.resumeAt = walk.nextHeader;
  walk.resumeKnown = walk.endKnown;
  walk.indexListed = indexListed && walk.listed;
  walk.index = index;
  walk.nextHeader = 0;
  walk.endKnown = true;
  walk.streamNext = 0;
}

}  // namespace

bool IsSolidIndex(const EntryWalk& walk) {
  const LocalFileHeader& header = walk.header;
  uint32_t size;
  const uint8_t* marker = FindExtraField(walk.extra, header.ExtraLength, SolidMarkerId, size);
  return marker != nullptr && size >= 2 && LoadLE16(marker) == SolidFormatVersion && header.Method == 14 &&
         (header.Flags & FlagEncrypted) == 0 && walk.endKnown;
}

bool NextEntry(EntryWalk& walk) {
  if (walk.stop != WalkStop::Walking) return false;
  if (InIndex(walk) && uint32_t(walk.nextHeader) == walk.indexSize) {  // past the index's last header
    MemFree(walk.index);
    walk.index = nullptr;
    walk.nextHeader = walk.resumeAt;
    walk.endKnown = walk.resumeKnown;
  }
  if (!walk.endKnown) {
    walk.stop = WalkStop::EndUnknown;
    return false;
  }
  if (ReadEntryHeader(walk) != WalkStop::Walking) return false;
  if (InIndex(walk)) {
    SettleIndexEntry(walk);
    return walk.stop == WalkStop::Walking;
  }
  SettleExtent(walk);
  if (walk.stop != WalkStop::Walking) return false;
  walk.listed = EntryIsListed(walk.central, walk.file, walk.header, walk.name, walk.headerPos);
  if (!walk.entersIndex || !IsSolidIndex(walk)) return true;
  walk.entersIndex = false;  // one index per archive; its payload is the next entry
  const bool indexListed = walk.listed;
  uint8_t* const index = DecodeIndex(walk);
  if (index == nullptr) {
    Stop(walk, WalkStop::CutHeader);
    return false;
  }
  // The payload's header is read from the file, with the decoded index beside the walk.
  if (!NextEntry(walk)) {
    MemFree(index);
    return false;
  }
  StartIndexWalk(walk, index, indexListed);
  return NextEntry(walk);
}
