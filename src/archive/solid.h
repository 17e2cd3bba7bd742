// Solid packages: the attached archive holds an index, then its payload. The index is an LZMA
// entry whose local header carries the marker field (archive/walk.h); its data decode to the
// local headers of the payload's entries, one after another, exactly as the payload holds them.
// The payload is the next entry: an LZMA stream of an archive of stored entries (the inner
// archive).
//
// The walk lists and extracts the index's entries (EntryWalk::entersIndex) as if they were the
// archive's, from the index decoded whole into memory. Listing reads the index alone.
// Extraction decodes the payload once, front to back: each selected entry's header is reached
// by decoding (and dropping) what lies before it and compared byte for byte with the index,
// then its data reach the codec through the input record's source. A payload that fails, is
// cut short or disagrees with its index fails every entry from there on.
#pragma once
#include <cstdint>
#include "archive/walk.h"
#include "codec/entry_io.h"
#include "lzma/lzma.h"

// The payload's decoded stream, read forward only. As a source it hands out the stream's next
// bytes; each read decodes them.
struct SolidPayload : InputSource {
  // The payload entry described by header (EntryWalk::payload), its data at dataPos in file;
  // the stream's header is read at once. Not usable when the entry is not an unencrypted LZMA
  // one, its header is invalid or its window cannot be allocated.
  SolidPayload(FileHandle file, const LocalFileHeader& header, int32_t dataPos);

  uint32_t taken = 0;  // bytes of the stream handed out or dropped so far
  bool usable;         // false for good once the stream failed or disagreed with the index
  EntryInput in;   // the payload entry's bytes, read in turns with the walk (resumeAt)
  EntryOutput out; // holds the window; its progress call is made while bytes are dropped
  LzmaDecoder lzma;
};

// Decodes the stream up to the walk's current index entry and through its local header, which
// must equal the index's bytes of it; the entry's data come next. False, and the payload no
// longer usable, when the stream ends, fails or differs first, or when the progress call of
// the payload's output says stop (its fault then Cancelled).
bool ReachEntry(SolidPayload& payload, const EntryWalk& walk);
