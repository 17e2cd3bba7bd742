// What zelvix-pack checks in what it packs (see archive_check.h).
#include "pack/archive_check.h"

#include <vector>

#include "archive/entry_name.h"
#include "archive/walk.h"
#include "pack/folder_scan.h"
#include "util/bytes.h"

namespace {

constexpr uint16_t FlagStrongEncryption = 0x0040;
constexpr uint16_t FlagLzmaEndMarker = 0x0002;
constexpr uint16_t MethodAes = 99;

std::string MethodText(uint16_t method) {
  const char* name = nullptr;
  switch (method) {
    case 1: name = "shrunk"; break;
    case 6: name = "imploded"; break;
    case 9: name = "deflate64"; break;
    case 12: name = "bzip2"; break;
    case 93: name = "Zstandard"; break;
    case 95: name = "xz"; break;
    case 98: name = "PPMd"; break;
  }
  const std::string number = "compression method " + std::to_string(method);
  return name != nullptr ? number + " (" + name + ")" : number;
}

// What the stub cannot do with this entry; empty when it can decode it.
std::string Undecodable(const LocalFileHeader& h) {
  const bool encrypted = (h.Flags & FlagEncrypted) != 0;
  if (h.Method == MethodAes) return "is AES-encrypted (method 99); the stub decrypts traditional PKWARE encryption only";
  if (encrypted && (h.Flags & FlagStrongEncryption) != 0)
    return "uses strong encryption (flag bit 6); the stub decrypts traditional PKWARE encryption only";
  if (h.Method != MethodStored && h.Method != MethodDeflate && h.Method != MethodLzma)
    return "uses " + MethodText(h.Method) + ", which the stub cannot decode (it decodes stored, deflate and LZMA)";
  return "";
}

bool IsSolidMarked(const EntryWalk& walk) {
  uint32_t size = 0;
  const uint8_t* marker = FindExtraField(walk.extra, walk.header.ExtraLength, SolidMarkerId, size);
  return marker != nullptr;
}

bool HasName(const EntryWalk& walk, const char* name) {
  return std::string(reinterpret_cast<const char*>(walk.name), walk.header.NameLength) == name;
}

// The solid layout's rules for its entry number `ordinal` (0: the index, 1: the payload).
std::string SolidEntryProblem(const EntryWalk& walk, int ordinal, ArchiveFindings& found) {
  const LocalFileHeader& h = walk.header;
  if ((h.Flags & (FlagEncrypted | FlagDataDescriptor)) != 0) return "is encrypted or has a data descriptor";
  if (ordinal == 0) {
    uint32_t size = 0;
    const uint8_t* marker = FindExtraField(walk.extra, h.ExtraLength, SolidMarkerId, size);
    if (!HasName(walk, "payload.idx") || h.Method != MethodLzma) return "is not the index (payload.idx, LZMA)";
    if (size != 4 || LoadLE16(marker) != SolidFormatVersion || LoadLE16(marker + 2) != 0)
      return "bears a solid marker of another version";
    return "";
  }
  if (ordinal > 1) return "follows the payload (a solid package's archive holds the index and the payload only)";
  if (!HasName(walk, "payload.zip") || h.Method != MethodLzma || (h.Flags & FlagLzmaEndMarker) != 0)
    return "is not the payload (payload.zip, LZMA without an end marker)";
  found.payloadPos = walk.dataPos;
  found.payloadCompressed = h.CompressedSize;
  found.payloadSize = h.UncompressedSize;
  found.payloadCrc = h.Crc32;
  return "";
}

bool ReadAt(FileHandle f, int32_t pos, uint8_t* into, uint32_t count) {
  return FileSeek(f, pos) == pos && FileRead(f, into, count) == int32_t(count);
}

// The local headers of a solid package's index as the package's own walk decodes them, one
// after another; false when it cannot decode them.
bool ReadIndexHeaders(FileHandle f, int32_t offset, Bytes& headers) {
  EntryWalk walk;
  if (!StartWalk(walk, f, offset)) return false;
  walk.entersIndex = true;
  while (NextEntry(walk)) {
    if (!InIndex(walk)) continue;
    headers.insert(headers.end(), walk.headerBytes, walk.headerBytes + LocalHeaderSize);
    headers.insert(headers.end(), walk.name, walk.name + walk.header.NameLength + walk.header.ExtraLength);
  }
  return walk.stop == WalkStop::End;
}

}  // namespace

ArchiveFindings CheckArchive(FileHandle f, int32_t offset, ArchiveRole role, bool needSetup) {
  ArchiveFindings found;
  std::vector<char> decoded(DecodedNameSize(0xFFFF));
  EntryWalk walk;
  if (!StartWalk(walk, f, offset)) {
    found.problem = "cannot be read";
    return found;
  }
  int ordinal = 0;
  for (; NextEntry(walk); ++ordinal) {
    const LocalFileHeader& h = walk.header;
    DecodeEntryName(walk.name, h.NameLength, h.Flags, walk.extra, h.ExtraLength, decoded.data(),
                    uint32_t(decoded.size()));
    const std::string name(decoded.data());
    const std::string entry = role == ArchiveRole::Payload ? "payload entry '" + name + "' " : "entry '" + name + "' ";
    if (ordinal == 0 && role == ArchiveRole::Attached) found.solid = IsSolidMarked(walk);
    std::string problem = found.solid ? SolidEntryProblem(walk, ordinal, found) : Undecodable(h);
    if (problem.empty() && role == ArchiveRole::Payload) {
      if (h.Method != MethodStored || (h.Flags & (FlagEncrypted | FlagDataDescriptor)) != 0)
        problem = "is not stored plainly (a solid payload holds stored entries, sizes in their headers)";
      Bytes header(walk.dataPos - walk.headerPos);
      if (problem.empty() && !ReadAt(f, walk.headerPos, header.data(), uint32_t(header.size()))) problem = "cannot be read";
      found.headers.insert(found.headers.end(), header.begin(), header.end());
    }
    if (!problem.empty()) {
      found.problem = entry + problem;
      return found;
    }
    const bool directory = !name.empty() && (name.back() == '/' || name.back() == '\\');
    if (!directory && IsTopLevelSetup(name)) found.setupFound = true;
    if (!directory && found.setupBelow.empty()) {
      const size_t cut = name.find_last_of("/\\");
      if (cut != std::string::npos && IsTopLevelSetup(name.substr(cut + 1))) found.setupBelow = name;
    }
  }
  if (found.solid && ordinal != 2) {
    found.problem = "is marked as a solid package's archive but does not hold an index and a payload";
  } else if (found.solid && !ReadIndexHeaders(f, offset, found.indexHeaders)) {
    found.problem = "entry 'payload.idx' does not decode to local headers (LZMA, its sizes and CRC-32)";
  } else if (needSetup && !found.solid && !found.setupFound) {
    found.problem = std::string("r.setup is on, but no setup.exe stands at the top of the ") +
                    (role == ArchiveRole::Payload ? "payload" : "archive") + " (the package starts that one only" +
                    (found.setupBelow.empty() ? ")" : "; found: " + found.setupBelow + ")");
  }
  return found;
}
