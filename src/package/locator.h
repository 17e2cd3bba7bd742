// Attached-archive locator: finds the ZIP archive appended to a package on a 256-byte boundary,
// reads the options block in front of it and, for "-z", writes the archive out as a ZIP file.
// Start-up calls LocateArchive once, before any dialog exists.
#pragma once
#include <cstdint>
#include "package/builder.h"
#include "util/file_io.h"

constexpr uint32_t LocatorBlockSize = 256;

// Scans ownPath; returns the archive's offset (0 when none is attached) after reading the options
// into the option members. With dump (the command line's "-z") the archive is dumped to ownPath minus its
// last four characters + "_.zip" ("Unable to rewrite..." when that file cannot be created).
// Every other open, read, write, seek or close failure is fatal, and so is a write the system
// cuts short (as DiskFullError).
int32_t LocateArchive(const char* ownPath, bool dump);

// Scans f from its current position, offset `from` (a multiple of 256), for the first block
// at a multiple of 256 that begins with "PK\3\4" and returns its offset; 0 when none does (an
// archive at offset 0 has no options block in front of it and does not count), -1 when a read
// fails (LastFileError() tells why). Positions are 32-bit: the scan ends with 0 where the next
// block would start beyond 2^31 - 1.
int32_t FindArchiveOffset(FileHandle f, int32_t from);

// Copies everything from offset to the end of f into dump, freshly created and empty, then
// closes dump. Source: seeking or reading f failed; Target: writing or closing dump failed (dump
// then stays open, for the caller to report and end with).
CopyResult DumpArchive(FileHandle f, int32_t offset, FileHandle dump);

// Reads the options block at offset - 256 into the option members. False, options untouched,
// when it cannot be read whole (LastFileError() tells why, where the system said).
bool ReadPackageOptions(FileHandle f, int32_t offset);
