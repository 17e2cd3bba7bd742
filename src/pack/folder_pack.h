// The archives zelvix-pack makes of a folder, written behind the stub and options block:
// entries compressed one by one (LZMA, deflate) or stored, or a solid package, whose files
// go into one stored inner archive (staged in a temporary file) that is LZMA-compressed whole
// behind an index of its local headers. main.cpp scans the folder (folder_scan.h), writes the
// stub and the block, then calls WriteFolderArchive; it checks the package afterwards.
//
// Solid layout: the attached archive holds two entries, in this order:
//   payload.idx  stored; its local header's extra field carries the marker field 0x7A5A with
//                version 1 and 0; its data are the inner archive's local headers (30 bytes,
//                name, extra field each), one after another, as they stand in it
//   payload.zip  LZMA (method 14, no end marker) of the inner archive: an ordinary ZIP file of
//                stored entries, sizes and CRC-32 in their local headers, with its central
//                directory and end record
// then the central directory of the two. The stub lists a package from the index alone and
// extracts by decoding the payload once, front to back.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "pack/archive_check.h"
#include "pack/folder_scan.h"
#include "util/file_io.h"

enum class PackMethod : uint8_t { Solid, Lzma, Deflate, Store };

// A refusal: the file concerned (a source file, the output, the folder) and what went wrong.
struct PackFailure {
  std::string name, what;
  bool failed() const { return !what.empty(); }
};

struct FolderJob {
  std::string dirName;               // as given, for messages
  const std::vector<SourceEntry>* entries;
  PackMethod method;
  bool needSetup;                    // r.setup: setup.exe at the top of the files
  std::string outName;               // the package, for messages
  FileHandle package;                // at its end, behind the options block
  uint64_t room;                     // bytes the archive may take (the 2 GiB - 1 rule)
  std::string stagingDir;            // where a solid payload is staged
};

// The archive's size when every file is stored: exact for Store, the inner archive's size for Solid.
uint64_t StoredArchiveSize(const std::vector<SourceEntry>& entries);

// Writes the archive of job.entries into job.package. Refuses a solid payload past 2 GiB - 1,
// an archive past job.room and, before compressing, a missing setup.exe.
PackFailure WriteFolderArchive(const FolderJob& job);

// For an attached solid archive made elsewhere (found by CheckArchive in f): decodes the
// payload into a staged file and checks it as a payload (needSetup as there), its CRC-32 and
// that the index holds its local headers. Empty problem when all holds.
std::string CheckSolidPayload(FileHandle f, const ArchiveFindings& found, bool needSetup, const std::string& stagingDir);
