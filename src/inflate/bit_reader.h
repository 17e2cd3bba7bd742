// Input buffer, bit reader and 32 KB output window of the inflater: reads one entry's compressed
// bytes in chunks (deciphering them in place), hands them out as bit fields, and writes the
// window to OutputHandle while folding it into RunningCrc. Used by inflate.cpp and stored_copy.cpp.
#pragma once
#include <cstdint>

constexpr uint32_t InputChunkSize = 32768;  // largest read from the package file
constexpr uint32_t WindowSize = 32768;      // the sliding window, a ring flushed at each wrap
constexpr uint32_t BufferBlockSize = 32770; // heap block of InputBuffer and Window

// State of the entry being decoded (one at a time). The inflater resets it per entry.
extern uint8_t* InputBuffer;  // the current chunk, already deciphered
extern int32_t InputCount;    // bytes the last read placed in InputBuffer (0..32768)
extern uint16_t InputPos;     // next byte of InputBuffer to hand out
extern uint32_t BitBuffer;    // bits not yet consumed; the next bit of the stream is bit 0
extern uint16_t BitCount;     // valid bits in BitBuffer (at most 23)
extern uint8_t* Window;       // positions 0..32767 used
extern uint16_t WindowPos;    // next write position in Window
// Whether every byte of Window has been written or cleared in this entry: until the window has
// been filled once, the part not yet written is cleared only when a distance reaches into it,
// by ClearWindowFrom (the first position not yet written).
extern bool WindowDefined;
void ClearWindowFrom(uint32_t position);

// One-bits supplied after the entry's data ran out (8 per NextCompressedByte result of -1).
// A decoder that holds k bits has consumed bits past the data exactly when k < FillBits.
extern uint32_t FillBits;
// Set by the block decoders when they find they have consumed fill bits: the data ended inside
// a block, which then ends as with an invalid code, and the entry ends after it.
extern bool InputOverrun;

// MaskBits[n] = 2^n - 1 for n = 0..16: a field of width n is BitBuffer & MaskBits[n].
extern const uint16_t MaskBits[17];

// The next byte of InputBuffer (0..255), refilling it first when it is used up: a read of
// min(CompressedLeft, 32768) bytes from ArchiveHandle, deciphered in place when LocalHeader.Flags
// has bit 0 set. -1 when the refill brings no bytes (failed read or end of file); then
// CompressedLeft := 0. Called only by NextCompressedByte.
int32_t ReadArchiveByte();

// The next byte of the entry's compressed data, or -1 once CompressedLeft has run out (no read
// is made then) or the file ended. Each byte taken decreases CompressedLeft by one.
int32_t NextCompressedByte();

// Appends bytes above the held bits until count >= n (n <= 16). Past the end of the data each
// byte reads as 0xFF, so the stream continues as one-bits; FillBits counts them.
void NeedBits(uint32_t n, uint32_t& bits, uint16_t& count);

// Drops the n lowest bits.
inline void DumpBits(uint32_t n, uint32_t& bits, uint16_t& count) {
  bits >>= n;
  count = uint16_t(count - n);
}

// Called, when set, after each chunk the decoders write (32 KB at most): the extraction run
// keeps its window answering through it while one large entry is decoded.
extern void (*OutputProgress)();

// Writes Window[0..n-1] to OutputHandle and folds into RunningCrc the bytes the write reports
// as written (a failed write counts as none), so a short write shows as a failed entry. Then
// OutputProgress.
void FlushWindow(uint32_t n);

// Folds count bytes into the CRC-32 register crc (no preset, no complement); count <= 0 does
// nothing. Needs the tables of BuildCrcTable.
void UpdateCrc(const uint8_t* data, int32_t count, uint32_t& crc);
