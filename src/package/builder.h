// Package builder: writes a package as a copy of a bare stub, an options block and a ZIP file.
// The stub's builder mode (BuildPackage, Windows) and the command-line tool zelvix-pack both
// write through WritePackage, so the two produce the same bytes for the same arguments.
#pragma once
#include <cstdint>
#include "util/file_io.h"

// Unit of both file copies.
constexpr uint32_t CopyUnitSize = 32768;
// The rule below adds at most "exe" to the name.
constexpr uint32_t PackageNameExtra = 3;

// The package name of a ZIP name: characters are removed from the end until the last remaining
// one is '.' or none is left, then "exe" is appended. "archive.zip" gives "archive.exe",
// "my.files\data" gives "my.exe" (the removal runs back into the directory part), a name
// without any '.' gives "exe". False, dest empty, when the result does not fit in size bytes.
bool MakePackageName(const char* zipName, char* dest, uint32_t size);

// The side of a copy that failed: None when everything was copied, Source when reading from
// it (or seeking in it), Target when writing to it (or closing it).
enum class CopySide : uint8_t { None, Source, Target };

// The outcome of a copy: the side that failed and the system's error code of the failed call
// (LastFileError()); a write that took fewer bytes than it was given has DiskFullError.
struct CopyResult {
  CopySide failed;
  uint32_t error;
};

// Copies from the current position of `from` to the end of it into `to`, CopyUnitSize bytes per
// read and write, until a read returns 0 bytes. Stops at the first failed read or write.
CopyResult CopyFileData(FileHandle from, FileHandle to);

// The file of a package that failed, and the error code as in CopyResult.
enum class PackageFile : uint8_t { None, Stub, Zip, Package };
struct PackageResult {
  PackageFile failed;
  uint32_t error;
};

// Writes the package body into `package`, freshly created and empty: the rest of `stub` (open
// at its start), the 256-byte options block, then the ZIP file opened under zipName; closes
// all three. Stops at the first failed open, read, write or close and names that file; the
// files not yet closed then stay open, and what was written stays in the package, for the
// caller to report and end with (the stub's fatal report; zelvix-pack removes the package and
// exits). The caller composes the block (ComposeOptionsBlock) before creating anything.
PackageResult WritePackage(FileHandle stub, FileHandle package, const uint8_t* optionsBlock, const char* zipName);

