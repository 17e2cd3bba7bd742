// The stub as a PE image, for zelvix-pack: its headers and sections, the mark that makes it a
// Zelvix stub, and its resource section, read into a list and written back as a new last
// section (pe_image.cpp). Every read is bounded by the file; nothing here trusts an offset.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using PeBytes = std::vector<uint8_t>;

struct PeSection {
  uint32_t header;  // file offset of its 40-byte header
  uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
};

struct PeImage {
  uint32_t optionalHeader;  // file offset of the optional header
  uint32_t fileAlignment, sectionAlignment;
  uint32_t resourceRva, resourceSize;  // data directory 2
  std::vector<PeSection> sections;
};

// Reads the headers of a 32-bit (PE32, i386) image. Empty when they hold, section data inside
// the file included; otherwise what is wrong.
std::string ParsePe(const PeBytes& file, PeImage& pe);

// The mark at the start of the first section's data ("Zelvix stub 1.0.0", package/stub_mark.h);
// "" when there is none.
std::string StubMarkOf(const PeBytes& file, const PeImage& pe);

// A resource's type or name: a number, or a name (UTF-16) when name is not empty.
struct ResourceId {
  uint16_t id = 0;
  std::u16string name;
  bool operator==(const ResourceId& other) const { return id == other.id && name == other.name; }
};

// One resource of the tree type / name / language, with its data.
struct Resource {
  ResourceId type, name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  PeBytes data;
};

constexpr uint16_t ResourceIcon = 3, ResourceDialog = 5, ResourceGroupIcon = 14, ResourceVersion = 16;

// Every resource of the image's resource section, in the tree's order. Empty when the tree
// reads soundly; otherwise what is wrong.
std::string ReadResources(const PeBytes& file, const PeImage& pe, std::vector<Resource>& resources);

// Writes resources as the image's resource section, in place of the old one, which must be
// the last section and end the file: directory tables in the order Windows searches them (named
// entries first, by name, then numbers, ascending), data entries, names, then the data, each
// 8-aligned. SizeOfImage, the data directory, the section's sizes and SizeOfInitializedData
// follow, and the image checksum is recomputed. The file stays a whole number of file-alignment
// units, and padding goes in front of a resource's data until no 256-byte block of the file
// begins with "PK\3\4" (the locator would take it for an attached archive). Empty when done.
std::string WriteResources(PeBytes& file, const PeImage& pe, const std::vector<Resource>& resources);

// The PE image checksum (the field at optional header + 64 counted as zero).
uint32_t PeChecksum(const PeBytes& file, uint32_t checksumOffset);
