// ZIP local file header: the fixed 30-byte part of each entry, as the entry walk decodes it, and
// the extra fields that follow the name.
#pragma once
#include <cstdint>

constexpr uint32_t ZipLocalHeaderSignature = 0x04034B50;  // "PK\3\4" read little-endian
constexpr uint32_t ZipCentralHeaderSignature = 0x02014B50;  // "PK\1\2"
constexpr uint32_t LocalHeaderSize = 30;

// v == ZipLocalHeaderSignature, without the signature's bytes in the code: a compare with the
// constant itself puts "PK\3\4" into the stub, where the locator must never meet it at a
// 256-byte boundary (tests/stub_checks.py); where the code lands moves with every change.
inline bool IsLocalHeaderSignature(uint32_t v) {
  uint32_t s = ZipLocalHeaderSignature + 1;
  asm("" : "+r"(s));  // the compiler cannot fold the constant back
  return v == s - 1;
}

constexpr uint16_t FlagEncrypted = 0x0001;      // traditional PKWARE encryption
constexpr uint16_t FlagDataDescriptor = 0x0008; // CRC-32 and sizes follow the data

// The fixed part of a local file header, field for field in stored order. The 30 stored bytes
// are decoded with explicit little-endian loads, so the record itself keeps natural alignment.
struct LocalFileHeader {
  uint32_t Signature;
  uint16_t VersionNeeded;
  uint16_t Flags;
  uint16_t Method;
  uint16_t ModTime;
  uint16_t ModDate;
  uint32_t Crc32;
  uint32_t CompressedSize;
  uint32_t UncompressedSize;
  uint16_t NameLength;
  uint16_t ExtraLength;
};

// Decodes 30 stored bytes into a header record with explicit little-endian loads.
LocalFileHeader DecodeLocalHeader(const uint8_t* bytes);

// The data of the first extra field with this id, or nullptr; size receives its length. The
// fields are stepped over by their stated sizes: one that runs past the end ends the search.
const uint8_t* FindExtraField(const uint8_t* extra, uint32_t length, uint16_t id, uint32_t& size);
