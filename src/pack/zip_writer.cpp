// The ZIP writer (see zip_writer.h).
#include "pack/zip_writer.h"
#include "pack/byte_vector.h"

#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "util/bytes.h"

namespace {

constexpr uint32_t CentralHeaderSignature = 0x02014B50;
constexpr uint32_t EndRecordSignature = 0x06054B50;
constexpr uint16_t FlagUtf8 = 0x0800;
constexpr uint16_t HostUnix = 3 << 8;  // "version made by": Unix attributes, format 6.3
constexpr uint16_t MadeBy = HostUnix | 63;
constexpr uint32_t DosDirectory = 0x10;


bool NonAscii(const std::string& name) {
  for (unsigned char c : name)
    if (c >= 0x80) return true;
  return false;
}

// The version a reader needs: 6.3 for LZMA, 2.0 for deflate and directories, else 1.0.
uint16_t VersionNeeded(const ZipRecord& r) {
  if (r.method == MethodLzma) return 63;
  if (r.method == MethodDeflate || (!r.name.empty() && r.name.back() == '/')) return 20;
  return 10;
}

// The fields from "version needed" to the extra field's length, common to both headers.
void PutCommon(Bytes& b, const ZipRecord& r, uint16_t extraLength) {
  Put16(b, VersionNeeded(r));
  Put16(b, NonAscii(r.name) ? FlagUtf8 : 0);  // no data descriptor, no encryption; for LZMA no end marker
  Put16(b, r.method);
  Put16(b, r.dosTime);
  Put16(b, r.dosDate);
  Put32(b, r.crc);
  Put32(b, r.compressedSize);
  Put32(b, r.uncompressedSize);
  Put16(b, uint16_t(r.name.size()));
  Put16(b, extraLength);
}

Bytes CentralHeaderBytes(const ZipRecord& r) {
  Bytes b;
  Put32(b, CentralHeaderSignature);
  Put16(b, MadeBy);
  PutCommon(b, r, uint16_t(r.centralExtra.size()));
  Put16(b, 0);  // comment length
  Put16(b, 0);  // disk number
  Put16(b, 0);  // internal attributes
  const bool directory = !r.name.empty() && r.name.back() == '/';
  Put32(b, (r.unixMode << 16) | (directory ? DosDirectory : 0));
  Put32(b, r.localOffset);
  b.insert(b.end(), r.name.begin(), r.name.end());
  b.insert(b.end(), r.centralExtra.begin(), r.centralExtra.end());
  return b;
}

}  // namespace

bool PutBytes(ZipOutput& out, const void* data, uint64_t count) {
  if (out.failed()) return false;
  if (count > out.limit - out.written) {
    out.tooLarge = true;
    return false;
  }
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (count > 0) {
    const uint32_t piece = count < (1u << 30) ? uint32_t(count) : 1u << 30;
    const int32_t put = FileWrite(out.file, p, piece);
    if (put != int32_t(piece)) {
      out.error = put < 0 ? LastFileError() : DiskFullError;
      return false;
    }
    p += piece;
    count -= piece;
    out.written += piece;
  }
  return true;
}

bool PatchBytes(ZipOutput& out, uint64_t offset, const void* data, uint32_t count) {
  if (out.failed()) return false;
  // The output's start is where the file stood when writing began: its current end less what
  // has been written since.
  const off_t end = lseek(int(out.file), 0, SEEK_CUR);
  if (end < 0) {
    out.error = uint32_t(errno);
    return false;
  }
  const ssize_t put = pwrite(int(out.file), data, count, end - off_t(out.written) + off_t(offset));
  if (put == ssize_t(count)) return true;
  out.error = put < 0 ? uint32_t(errno) : DiskFullError;
  return false;
}

Bytes ExtendedTimeField(int64_t unixSeconds) {
  // The field holds a signed 32-bit count: times outside 1901..2038 are held at its ends.
  const int64_t held = unixSeconds < INT32_MIN ? INT32_MIN : unixSeconds > INT32_MAX ? INT32_MAX : unixSeconds;
  Bytes b;
  Put16(b, ExtendedTimeId);
  Put16(b, 5);
  b.push_back(1);  // modification time present
  Put32(b, uint32_t(int32_t(held)));
  return b;
}

void DosDateTime(int64_t unixSeconds, uint16_t& date, uint16_t& time) {
  const time_t t = time_t(unixSeconds);
  tm local{};
  if (localtime_r(&t, &local) == nullptr || local.tm_year < 80) {
    date = 0x21;  // 1980-01-01
    time = 0;
    return;
  }
  if (local.tm_year > 207) {
    date = uint16_t((127 << 9) | (12 << 5) | 31);
    time = uint16_t((23 << 11) | (59 << 5) | 29);
    return;
  }
  date = uint16_t(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  time = uint16_t((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

Bytes LocalHeaderBytes(const ZipRecord& r) {
  Bytes b;
  Put32(b, 0x04034B50);
  PutCommon(b, r, uint16_t(r.localExtra.size()));
  b.insert(b.end(), r.name.begin(), r.name.end());
  b.insert(b.end(), r.localExtra.begin(), r.localExtra.end());
  return b;
}

bool BeginEntry(ZipWriter& zip, ZipRecord& record) {
  if (zip.records.size() >= MaxZipEntries || zip.out.written > UINT32_MAX) {
    zip.out.tooLarge = true;
    return false;
  }
  record.localOffset = uint32_t(zip.out.written);
  const Bytes header = LocalHeaderBytes(record);
  if (!PutBytes(zip.out, header.data(), header.size())) return false;
  zip.localHeaders.insert(zip.localHeaders.end(), header.begin(), header.end());
  zip.records.push_back(record);
  return true;
}

bool AddData(ZipWriter& zip, const uint8_t* data, uint64_t size) { return PutBytes(zip.out, data, size); }

bool AddEntry(ZipWriter& zip, ZipRecord& record, const uint8_t* data, uint64_t size) {
  return BeginEntry(zip, record) && AddData(zip, data, size);
}

bool SettleEntry(ZipWriter& zip, const ZipRecord& record) {
  ZipRecord& noted = zip.records.back();
  noted.crc = record.crc;
  noted.compressedSize = record.compressedSize;
  noted.uncompressedSize = record.uncompressedSize;
  // CRC-32 and both sizes: 12 bytes from offset 14 of the local header.
  uint8_t fields[12];
  StoreLE32(fields, record.crc);
  StoreLE32(fields + 4, record.compressedSize);
  StoreLE32(fields + 8, record.uncompressedSize);
  return PatchBytes(zip.out, noted.localOffset + 14, fields, sizeof fields);
}

bool FinishZip(ZipWriter& zip) {
  const uint64_t centralOffset = zip.out.written;
  Bytes central;
  for (const ZipRecord& r : zip.records) {
    const Bytes header = CentralHeaderBytes(r);
    central.insert(central.end(), header.begin(), header.end());
  }
  if (centralOffset + central.size() > UINT32_MAX) {
    zip.out.tooLarge = true;
    return false;
  }
  Bytes end;
  Put32(end, EndRecordSignature);
  Put16(end, 0);  // this disk
  Put16(end, 0);  // the central directory's disk
  Put16(end, uint16_t(zip.records.size()));
  Put16(end, uint16_t(zip.records.size()));
  Put32(end, uint32_t(central.size()));
  Put32(end, uint32_t(centralOffset));
  Put16(end, 0);  // comment length
  return PutBytes(zip.out, central.data(), central.size()) && PutBytes(zip.out, end.data(), end.size());
}
