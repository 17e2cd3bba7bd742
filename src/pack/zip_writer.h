// The ZIP writer of zelvix-pack: local headers with their data, the central directory and its
// end record, into an output that counts what it takes and refuses to grow past the stub's
// 32-bit positions. folder_pack.cpp lays out the folder's archives through it.
//
//   ZipOutput out{file, limit};                  // file at the archive's first byte
//   ZipWriter zip(out);
//   ZipRecord r = ...;  AddEntry(zip, r, data, size) ...
//   FinishZip(zip);                               // central directory and end record
//   if (out.failed()) ... out.error / out.tooLarge
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "archive/walk.h"  // the solid index's marker field
#include "util/file_io.h"

using Bytes = std::vector<uint8_t>;

constexpr uint16_t MethodStored = 0;
constexpr uint16_t MethodDeflate = 8;
constexpr uint16_t MethodLzma = 14;
constexpr uint16_t ExtendedTimeId = 0x5455;  // "UT": flags, then seconds since 1970 UTC

// Bytes going to a file: counted from where the writer started, stopped at the first failure.
struct ZipOutput {
  FileHandle file;
  uint64_t limit;           // the most bytes the output may take
  uint64_t written = 0;     // bytes taken so far
  uint32_t error = 0;       // the system's code of a failed write
  bool tooLarge = false;    // a write would have passed limit (nothing of it was written)
  bool failed() const { return error != 0 || tooLarge; }
};

// Appends count bytes; false (and nothing more is written) once the output has failed.
bool PutBytes(ZipOutput& out, const void* data, uint64_t count);
// Rewrites bytes already written, at offset from the output's start (local headers whose sizes
// are known only after their data).
bool PatchBytes(ZipOutput& out, uint64_t offset, const void* data, uint32_t count);

// One entry as it stands in both headers. name: UTF-8, '/' between directories, a directory
// ends in '/'; flag bit 11 is set when the name holds a byte above 0x7F.
struct ZipRecord {
  std::string name;
  uint16_t method = MethodStored;
  uint32_t crc = 0, compressedSize = 0, uncompressedSize = 0;
  uint16_t dosTime = 0, dosDate = 0x21;  // 1980-01-01 00:00
  uint32_t unixMode = 0;                 // st_mode, into the external attributes; 0: none
  Bytes localExtra, centralExtra;
  uint32_t localOffset = 0;              // set by the writer
};

// The extended-time field of a modification time, as both headers carry it.
Bytes ExtendedTimeField(int64_t unixSeconds);
// The MS-DOS date and time of the moment in the machine's local time, cut to even seconds and
// held within 1980-01-01 00:00:00 .. 2107-12-31 23:59:58.
void DosDateTime(int64_t unixSeconds, uint16_t& date, uint16_t& time);

struct ZipWriter {
  explicit ZipWriter(ZipOutput& out) : out(out) {}
  ZipOutput& out;
  std::vector<ZipRecord> records;  // for the central directory
  Bytes localHeaders;              // every local header begun, one after another (a solid index)
};

// The local header of record, exactly as written: 30 bytes, the name, the extra field.
Bytes LocalHeaderBytes(const ZipRecord& record);
// Writes record's local header (at the output's current end, which becomes its localOffset)
// and notes the record for the central directory; the data follow through AddData. False once
// the output failed.
bool BeginEntry(ZipWriter& zip, ZipRecord& record);
bool AddData(ZipWriter& zip, const uint8_t* data, uint64_t size);
// Both in one.
bool AddEntry(ZipWriter& zip, ZipRecord& record, const uint8_t* data, uint64_t size);
// Rewrites the sizes and CRC-32 of the last entry begun, known only after its data, in its
// local header and in the record the central directory is made from.
bool SettleEntry(ZipWriter& zip, const ZipRecord& record);
// The central directory and its end record. Refused (false) past 65,535 entries.
bool FinishZip(ZipWriter& zip);

// The most entries an archive without ZIP64 records can count.
constexpr uint32_t MaxZipEntries = 0xFFFF;
