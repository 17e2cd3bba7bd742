// The entry walk: the local headers of an archive in a package file, one after another from its
// first byte, each with its name, extra field and extent. The extraction run, zelvix-pack
// --list, the probes and the fuzz targets all read archives through it; nothing else parses
// local headers.
//
//   EntryWalk walk;
//   if (!StartWalk(walk, file, archiveOffset)) ...    // the archive's start cannot be reached
//   while (NextEntry(walk)) { ...walk.header, walk.name, walk.dataPos... }
//   switch (walk.stop) ...                            // why it ended
#pragma once
#include <cstdint>
#include "archive/central_directory.h"
#include "archive/data_descriptor.h"
#include "archive/local_header.h"
#include "codec/entry_io.h"
#include "util/file_io.h"
#include "util/memory.h"

// Positions in a package are 32-bit and signed: nothing can be read beyond this one.
constexpr uint32_t MaxPackagePosition = 0x7FFFFFFF;

enum class WalkStop : uint8_t {
  Walking,     // not ended: the fields of EntryWalk describe the current entry
  End,         // a record that is no local header (the central directory, in a sound archive)
  CutHeader,   // the file ends inside a local header, its name or its extra field, or a read failed
  TooFar,      // a position reckoned from the header lies beyond MaxPackagePosition
  EndUnknown,  // the entry before could not be delimited, so nothing after it can be reached
};

// The fields the walk reads most come first, the buffers last: the first 128 bytes of the
// record are reached with one-byte offsets.
struct EntryWalk {
  FileHandle file = NoFile;  // the package file
  // The current entry: its local header's fixed fields, with CompressedSize and Crc32 settled
  // from a data descriptor or ZIP64 field where the header defers them.
  LocalFileHeader header{};
  int32_t headerPos = 0;
  int32_t dataPos = 0;        // first byte after the extra field (the encryption header, if any)
  int32_t nextHeader = 0;     // where the next record begins; only when endKnown
  bool endKnown = false;      // false: the walk ends after this entry (stop EndUnknown)
  // The central directory agrees with the entry: lists it, in the same order, with the same
  // name, method, CRC-32 and sizes (or the archive has no end record: it was cut).
  bool listed = true;
  WalkStop stop = WalkStop::End;
  // Solid packages. Set by the caller: the walk enters the first index it meets, taking the
  // entry after it as its payload and handing out the index's entries in their place.
  bool entersIndex = false;
  const uint8_t* name = nullptr;   // header.NameLength bytes, not terminated
  const uint8_t* extra = nullptr;  // header.ExtraLength bytes
  // In the index: its decoded bytes, where its headers lie (headerPos, dataPos and nextHeader
  // count from its first byte there); outside it index is null. The walk sets the other index
  // fields as it enters an index, and reads them only there.
  uint8_t* index = nullptr;
  uint32_t indexSize;
  int32_t resumeAt;      // where the archive's walk goes on after the index
  bool resumeKnown;      // whether it can go on at all
  bool indexListed;      // the central directory lists the index and its payload
  // The current entry's local header and the next one's in the payload's stream; the payload
  // entry's data and (after headerBytes) header.
  uint32_t streamPos, streamNext;
  int32_t payloadPos;
  uint8_t headerBytes[LocalHeaderSize];  // the current entry's local header as stored
  LocalFileHeader payload;
  MemBlock fields{2 * 65535};  // name and extra field of the current entry
  CentralDirectory central;

  EntryWalk() = default;
  ~EntryWalk();  // releases the decoded index
  EntryWalk(const EntryWalk&) = delete;
  EntryWalk& operator=(const EntryWalk&) = delete;
};

// The walk stands in an index (see entersIndex).
inline bool InIndex(const EntryWalk& walk) { return walk.index != nullptr; }

constexpr uint16_t SolidMarkerId = 0x7A5A;  // the index's extra field: format version, then 0
constexpr uint16_t SolidFormatVersion = 2;

// Whether the walk's current entry is a solid package's index: LZMA, not encrypted, of a known
// size, with the marker field of this format version. Its data decode to the local headers of
// the payload's entries, one after another, as the payload holds them.
bool IsSolidIndex(const EntryWalk& walk);

// Finds the central directory of the archive at archiveOffset, seeks file to the archive's
// first byte (SeekArchive, so LastSeekPos records it) and readies the walk. False when that
// seek fails.
bool StartWalk(EntryWalk& walk, FileHandle file, int32_t archiveOffset);

// Reads the next local header with its name and extra field, settles where its data end, and
// matches it with the central directory. With entersIndex, at an index: decodes it, reads the
// entry after it as the payload (payload, payloadPos), then hands out the index's headers (no
// data follow them) as entries, each with its streamPos and listed when the index and the
// payload are; after the last one it goes on behind the payload. An index that cannot be
// decoded whole, or whose CRC-32 differs, is CutHeader, and so is a header that runs past its
// end; deferred sizes (a data descriptor, ZIP64) end the walk after their entry.
// False once the walk has ended; walk.stop tells why. After TooFar, walk.header and walk.name
// still describe the entry whose end lies too far. The file position is left anywhere: a
// caller that reads the entry's data seeks to walk.dataPos first.
bool NextEntry(EntryWalk& walk);

// The position the last SeekArchive reached, -1 when it failed.
extern int32_t LastSeekPos;
// Moves file to position and records it in LastSeekPos; -1 there when the move failed.
void SeekArchive(FileHandle file, int32_t position);
