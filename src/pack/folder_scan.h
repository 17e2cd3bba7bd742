// The folder zelvix-pack packs: every regular file below it and every empty directory, with
// the names, times and modes the archive gives them, in the order they go into it. Called by
// main.cpp before anything is written.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SourceEntry {
  std::string name;  // relative to the folder, UTF-8, '/' between directories; directories end in '/'
  std::string path;  // on disk
  bool directory;
  uint64_t size;
  int64_t modified;  // seconds since 1970 UTC
  uint32_t mode;     // st_mode
};

enum class EntryOrder : uint8_t {
  ByName,    // by name, byte for byte: an archive read entry by entry
  ForSolid,  // empty directories first, then files by extension (letter case aside) and
             // name: files of a kind stand together in one compressed stream
};

struct ScanRefusal {
  std::string path;  // the file or directory at fault
  std::string why;
};

// Fills entries with what lies below dir, sorted. Refused, with the path at fault: a symbolic
// link (never followed: it may lead out of the folder or around in a loop), anything that is
// not a regular file or directory, a name that is not UTF-8, a file of 4 GiB or more, and more
// entries than an archive without ZIP64 records can count; a directory that cannot be read.
bool ScanFolder(const std::string& dir, EntryOrder order, std::vector<SourceEntry>& entries, ScanRefusal& refusal);

// Whether name is a file at the top of the archive that the stub starts as setup.exe: letter
// case aside (Windows' file names), no directory part ('/' or '\').
bool IsTopLevelSetup(const std::string& name);
