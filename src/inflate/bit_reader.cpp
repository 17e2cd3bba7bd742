// Input buffer, bit reader and output window (see bit_reader.h).
#include "inflate/bit_reader.h"
#include <cstring>
#include "app/state.h"
#include "archive/crc32.h"
#include "archive/decrypt.h"
#include "archive/local_header.h"

uint8_t* InputBuffer;
int32_t InputCount;
uint16_t InputPos;
uint32_t BitBuffer;
uint16_t BitCount;
uint8_t* Window;
uint16_t WindowPos;
bool WindowDefined;
uint32_t FillBits;
bool InputOverrun;
void (*OutputProgress)();

const uint16_t MaskBits[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F,
                               0x007F, 0x00FF, 0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF,
                               0x3FFF, 0x7FFF, 0xFFFF};

int32_t ReadArchiveByte() {
  if (int32_t(InputPos) >= InputCount) {
    // A refill happens only once the chunk is used up, so CompressedLeft is then exactly what
    // is left of the entry and the read never passes its end.
    const uint32_t want = CompressedLeft < int32_t(InputChunkSize) ? uint32_t(CompressedLeft) : InputChunkSize;
    InputCount = FileRead(ArchiveHandle, InputBuffer, want);
    if (InputCount < 0) InputCount = 0;  // a failed read brings nothing
    if (LocalHeader.Flags & FlagEncrypted) DecryptBuffer(InputBuffer, InputCount);
    InputPos = 0;
  }
  if (InputCount == 0) {
    CompressedLeft = 0;
    InputPos = 0;
    return -1;
  }
  return InputBuffer[InputPos++];
}

int32_t NextCompressedByte() {
  if (CompressedLeft <= 0) return -1;
  const int32_t c = ReadArchiveByte();
  --CompressedLeft;  // after an empty read: 0 - 1, and every later call returns -1 at once
  return c;
}

void NeedBits(uint32_t n, uint32_t& bits, uint16_t& count) {
  while (count < n) {
    // A byte still in the chunk is taken here (bytes in the chunk are never beyond the entry):
    // block headers are read a few bits at a time, and two calls per byte cost more than that.
    int32_t c;
    if (int32_t(InputPos) < InputCount) {
      c = InputBuffer[InputPos++];
      --CompressedLeft;
    } else {
      c = NextCompressedByte();
    }
    if (c < 0) FillBits += 8;
    bits |= uint32_t(c) << count;  // -1 is all ones: one-bits from position count upwards
    count = uint16_t(count + 8);
  }
}

__attribute__((noinline)) void ClearWindowFrom(uint32_t position) {
  memset(Window + position, 0, BufferBlockSize - position);
  WindowDefined = true;
}

void FlushWindow(uint32_t n) {
  if (n == WindowSize) WindowDefined = true;
  int32_t written = FileWrite(OutputHandle, Window, n);
  if (written < 0) written = 0;
  UpdateCrc(Window, written, RunningCrc);
  if (OutputProgress != nullptr) OutputProgress();
}

namespace {
// Both are inlined even where the build favours size: they are the inner loop of every entry.
__attribute__((always_inline)) inline uint32_t LoadWord(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}
// The four slice lookups of one 32-bit word whose last byte has `after` bytes following it.
__attribute__((always_inline)) inline uint32_t FoldWord(uint32_t v, uint32_t after) {
  return CrcSlices[after + 3][v & 0xFF] ^ CrcSlices[after + 2][(v >> 8) & 0xFF] ^
         CrcSlices[after + 1][(v >> 16) & 0xFF] ^ CrcSlices[after][v >> 24];
}
// Sixteen bytes per step: the register meets the first four, and each byte is looked up in
// the slice that accounts for the bytes still following it in the group.
__attribute__((always_inline)) inline uint32_t Fold16(const uint8_t* data, uint32_t c) {
  return FoldWord(LoadWord(data) ^ c, 12) ^ FoldWord(LoadWord(data + 4), 8) ^ FoldWord(LoadWord(data + 8), 4) ^
         FoldWord(LoadWord(data + 12), 0);
}
}  // namespace

void UpdateCrc(const uint8_t* data, int32_t count, uint32_t& crc) {
  uint32_t c = crc;
  // Two lanes at a time (a whole window is two): the first from the register so far, the
  // second from zero, joined as the first carried over the second's length.
  for (; CrcTwoLanes && count >= int32_t(2 * CrcLane); count -= 2 * CrcLane, data += 2 * CrcLane) {
    uint32_t second = 0;
    for (uint32_t at = 0; at < CrcLane; at += 16) {
      c = Fold16(data + at, c);
      second = Fold16(data + CrcLane + at, second);
    }
    for (uint32_t bit = 0; bit < 32; ++bit)
      if ((c >> bit) & 1) second ^= CrcSkipLane[bit];
    c = second;
  }
  for (; count >= 16; count -= 16, data += 16) c = Fold16(data, c);
  for (; count > 0; --count) c = CrcSlices[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  crc = c;
}
