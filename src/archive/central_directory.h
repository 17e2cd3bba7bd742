// The central directory of an archive, read alongside the entry walk: what ZIP tools list. An
// entry the walk meets counts as listed only when the next central header names its local
// header and agrees with it (name, method, CRC-32 and both sizes, as the walk settled them from
// descriptors and ZIP64 fields); so an entry the directory omits, lists out of order or
// describes otherwise is never written.
//
// The end record is sought backwards from the file's end, in its last 128 KB: the first one
// whose comment fits and whose directory fits before it, so data may follow the archive (a
// signature's certificate table). Without one (a cut archive) there is nothing to agree with and
// every entry counts as listed. The central headers are found from the end record back (the
// directory ends where the end record, or its ZIP64 record, begins), so archives whose stated
// offsets count from the package's first byte rather than the archive's are read as well. A
// directory whose headers are not where it says lists nothing.
#pragma once
#include <cstdint>
#include "archive/local_header.h"
#include "util/file_io.h"
#include "util/memory.h"

// The longest central header without its comment; also the span searched for the end record.
constexpr uint32_t CentralBufferSize = 46 + 2 * 65535;

struct CentralDirectory {
  bool present = false;  // an end record was found
  // Set by OpenCentralDirectory; next and displacement only when present.
  int32_t next;          // file position of the first central header not yet matched
  int32_t end;           // where the central headers end
  int32_t displacement;  // added to a stated local-header offset, gives its file position
  int32_t bufferPos = 0;    // the file position buffer[0] holds
  int32_t bufferCount = 0;  // bytes buffer holds
  MemBlock buffer{CentralBufferSize};
};

// Finds the end record of the archive in file between archiveOffset and archiveEnd (the file's
// end) and readies the directory for EntryIsListed. The file position is left anywhere.
void OpenCentralDirectory(CentralDirectory& central, FileHandle file, int32_t archiveOffset, int32_t archiveEnd);

// Whether the directory lists the entry whose local header (settled by the walk) is header, with
// its name, at headerPos; the directory is read forward only, each central header matched once.
// Always true when the archive has no end record. The file position is left anywhere.
bool EntryIsListed(CentralDirectory& central, FileHandle file, const LocalFileHeader& header, const uint8_t* name,
                   int32_t headerPos);
