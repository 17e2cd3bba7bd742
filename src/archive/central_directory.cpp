// The central directory beside the walk (see central_directory.h).
#include "archive/central_directory.h"
#include "archive/data_descriptor.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t CentralHeaderSize = 46;
constexpr uint32_t EndRecordSize = 22;
constexpr uint32_t Zip64LocatorSize = 20;
constexpr uint32_t Zip64EndRecordSize = 56;
constexpr uint32_t EndSignature = 0x06054B50;           // "PK\5\6"
constexpr uint32_t Zip64EndSignature = 0x06064B50;      // "PK\6\6"
constexpr uint32_t Zip64LocatorSignature = 0x07064B50;  // "PK\6\7"

// Makes the buffer hold the file's bytes [pos, pos + count), reading from pos as much as fits
// before central.end; their address, or nullptr when they cannot be read whole.
const uint8_t* Bytes(CentralDirectory& central, FileHandle file, int32_t pos, uint32_t count) {
  uint8_t* buffer = central.buffer.get();
  if (pos >= central.bufferPos && uint32_t(pos - central.bufferPos) + count <= uint32_t(central.bufferCount))
    return buffer + (pos - central.bufferPos);
  const uint32_t room = uint32_t(central.end - pos);
  if (pos > central.end || count > room || count > CentralBufferSize) return nullptr;
  central.bufferCount = 0;
  if (FileSeek(file, pos) != pos) return nullptr;
  const int32_t got = FileRead(file, buffer, room < CentralBufferSize ? room : CentralBufferSize);
  if (got < int32_t(count)) return nullptr;
  central.bufferPos = pos;
  central.bufferCount = got;
  return buffer;
}

bool SameBytes(const uint8_t* a, const uint8_t* b, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

void OpenCentralDirectory(CentralDirectory& central, FileHandle file, int32_t archiveOffset, int32_t archiveEnd) {
  central.present = false;
  central.bufferCount = 0;
  central.end = archiveEnd;
  if (archiveEnd - archiveOffset < int32_t(EndRecordSize)) return;
  uint32_t span = uint32_t(archiveEnd - archiveOffset);
  if (span > CentralBufferSize) span = CentralBufferSize;
  const int32_t from = archiveEnd - int32_t(span);
  const uint8_t* tail = Bytes(central, file, from, span);
  if (tail == nullptr) return;
  // From the end back, the first end record that fits with its comment and whose directory fits
  // before it; data may follow it (a signature's certificate table).
  for (uint32_t at = span - EndRecordSize + 1; at-- > 0;) {
    const uint8_t* record = tail + at;
    if (LoadLE32(record) != EndSignature || at + EndRecordSize + LoadLE16(record + 20) > span) continue;
    uint32_t size = LoadLE32(record + 12), offset = LoadLE32(record + 16);
    int32_t directoryEnd = from + int32_t(at);
    // ZIP64: the record before the locator holds the sizes, and the directory ends where it begins.
    // Addressed forward from tail: reckoned back from record, each signature would take four
    // byte loads.
    if (at >= Zip64LocatorSize + Zip64EndRecordSize) {
      const uint8_t* zip64 = tail + (at - Zip64LocatorSize - Zip64EndRecordSize);
      if (LoadLE32(zip64 + Zip64EndRecordSize) == Zip64LocatorSignature && LoadLE32(zip64) == Zip64EndSignature) {
        size = LoadSize64(zip64 + 40);
        offset = LoadSize64(zip64 + 48);
        directoryEnd -= int32_t(Zip64LocatorSize + Zip64EndRecordSize);
      }
    }
    if (size > uint32_t(directoryEnd - archiveOffset) || offset >= Unusable64) continue;
    central.present = true;
    central.next = directoryEnd - int32_t(size);
    central.end = directoryEnd;
    central.displacement = central.next - int32_t(offset);
    return;
  }
}

bool EntryIsListed(CentralDirectory& central, FileHandle file, const LocalFileHeader& header, const uint8_t* name,
                   int32_t headerPos) {
  if (!central.present) return true;
  while (central.next < central.end) {
    const int32_t at = central.next;
    const uint8_t* p = Bytes(central, file, at, CentralHeaderSize);
    if (p == nullptr || LoadLE32(p) != ZipCentralHeaderSignature) break;
    const uint32_t nameLength = LoadLE16(p + 28), extraLength = LoadLE16(p + 30);
    const uint32_t length = CentralHeaderSize + nameLength + extraLength, total = length + LoadLE16(p + 32);
    p = Bytes(central, file, at, length);
    if (p == nullptr || total > uint32_t(central.end - at)) break;
    central.next = at + int32_t(total);
    // Uncompressed and compressed size, local header's offset; ZIP64: those the header leaves at
    // 0xFFFFFFFF follow in its field, in this order.
    uint32_t values[3] = {LoadLE32(p + 24), LoadLE32(p + 20), LoadLE32(p + 42)};
    uint32_t fieldSize;  // set when a field is found
    const uint8_t* field = FindExtraField(p + CentralHeaderSize + nameLength, extraLength, Zip64ExtraId, fieldSize);
    for (uint32_t i = 0; i < 3; ++i) {
      if (values[i] != 0xFFFFFFFF || field == nullptr || fieldSize < 8) continue;
      values[i] = i == 0 ? LoadUncompressed64(field) : LoadSize64(field);
      field += 8, fieldSize -= 8;
    }
    const int64_t position = int64_t(values[2]) + central.displacement;
    if (values[2] >= Unusable64 || position < headerPos) continue;  // a local header the walk never meets
    if (position > headerPos) {  // not listed here: the walk meets this one later, or never
      central.next = at;
      return false;
    }
    return nameLength == header.NameLength && SameBytes(p + CentralHeaderSize, name, nameLength) &&
           LoadLE16(p + 10) == header.Method && LoadLE32(p + 16) == header.Crc32 &&
           values[1] == header.CompressedSize && values[0] == header.UncompressedSize;
  }
  central.next = central.end;
  return false;
}
