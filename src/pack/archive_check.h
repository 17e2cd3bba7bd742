// What zelvix-pack checks in every archive it packs, made elsewhere or by itself, walking the
// local headers as the package does (archive/walk.h): an entry the stub cannot decode (its
// method or its encryption), a setup.exe missing where r.setup needs one, and for a solid
// package the layout of its index and payload. main.cpp refuses what it finds.
#pragma once
#include <cstdint>
#include <string>
#include "pack/zip_writer.h"
#include "util/file_io.h"

enum class ArchiveRole : uint8_t {
  Attached,  // the archive behind the options block
  Payload,   // a solid package's inner archive, decompressed: stored entries only
};

struct ArchiveFindings {
  std::string problem;  // empty when nothing is wrong
  bool setupFound = false;
  std::string setupBelow;  // the first entry named setup.exe inside a folder, for the message
  // An attached archive that is a solid package's: its index entry and its payload entry.
  bool solid = false;
  Bytes indexHeaders;  // the index's local headers, decoded
  int32_t payloadPos = 0;  // the payload's data (its LZMA header first)
  uint32_t payloadCompressed = 0, payloadSize = 0, payloadCrc = 0;
  // Payload: the local headers, as they stand, one after another (what the index must hold).
  Bytes headers;
};

// Walks the archive at offset in f. Attached: every entry the walk reaches must be stored,
// deflated or LZMA, and unencrypted or under traditional encryption; a first entry that bears
// the solid marker makes it a solid package's archive, which must be the index and the payload
// as the layout has them, its index decoding to local headers. Payload: every entry stored,
// unencrypted, sizes in its header.
// With needSetup, setup.exe must stand at the top (not checked for a solid package's attached
// archive: its payload holds the files).
ArchiveFindings CheckArchive(FileHandle f, int32_t offset, ArchiveRole role, bool needSetup);
