// LZMA (ZIP method 14): a range decoder over an adaptive model of 11-bit probabilities, and the
// window its matches copy from. A codec of the extraction run (codec/entry_io.h), and a pull
// interface for readers that take a stream's bytes as they come, forward only.
//
// An entry of method 14 holds a 4-byte header (the writer's version, two bytes, then the size of
// the properties, 16-bit little-endian, which must be 5), the properties (the byte
// (pb * 5 + lp) * 9 + lc, then the dictionary size, 32-bit little-endian) and the raw stream.
// With flag bit 1 (EntryInput::flags) the stream ends with its end marker; without it, once the
// entry's declared size (EntryOutput::declaredSize) has been produced.
//
// The pull interface, in order:
//
//   LzmaDecoder s;
//   if (!LzmaBegin(s, in, out)) fail;            // header read, window opened in out
//   const uint8_t* data;
//   while (uint32_t n = LzmaPull(s, in, &data, max)) use data[0..n-1];
//   s.result == LzmaResult::Ended ?               // the stream ended as its format says
//
// The stream needs the same input and output records at every call: the output only holds the
// window (and its declared size bounds the stream); nothing is written to it.
#pragma once
#include <cstdint>
#include "codec/entry_io.h"

enum class LzmaResult : uint8_t {
  Going,   // more bytes may follow
  Ended,   // the declared size was produced (and, with the marker, the marker came after it)
  Failed,  // the stream is corrupt or cut short: what it produced is not to be trusted
};

// The range decoder: the model's probabilities, range and code as the format defines them, and
// the input chunk's bytes not yet taken.
struct LzmaRange {
  uint32_t range, code;
  const uint8_t* next;
  const uint8_t* end;
  EntryInput* in;
  bool overrun;  // a byte past the entry's data was asked for (a zero came instead)
  uint16_t* probs;  // the model, in front of the window in the same block
};

// One stream's whole state between two pulls. Set up by LzmaBegin; the fields are the
// decoder's own.
struct LzmaDecoder {
  LzmaRange rc;
  uint8_t* window;        // windowSize bytes, circular
  uint32_t windowSize;    // min(dictionary, declared size), at least 4 KB
  uint32_t pos;           // next byte of the window to write
  uint32_t done;          // bytes produced so far
  uint32_t outSize;       // bytes the stream must produce: the output's declared size
  uint32_t rep[4];        // the last four distances, less one (rep[0] the latest)
  uint32_t state;         // 0..11: what the last symbols were (literal, match, repeat, short)
  uint32_t pending;       // bytes of the current match not yet copied
  uint32_t lc, lpMask, pbMask;
  bool endMarker;
  LzmaResult result;
};

// Reads the 9-byte header from the input and the range decoder's first 5 bytes, opens the
// window and the model in out (OpenWindow; windowSize as above) and sets the stream to its
// start: outSize from out.declaredSize, endMarker from flag bit 1 of in.flags. False, and the
// entry failed, when the header is cut short or invalid (properties size other than 5,
// properties byte 225 or more, first byte of the range decoder not 0), the window would be
// larger than 2 GiB, or the heap has no such block.
bool LzmaBegin(LzmaDecoder& s, EntryInput& in, EntryOutput& out);

// Decodes up to max (at least 1) further bytes into the window and sets *data to them: they
// lie contiguous in the window and stay valid until the next call. Stops early at the window's
// end (the next call goes on at its start). Returns their number; 0 once the stream has ended
// or failed (s.result tells which). A distance reaching before the stream's start or beyond
// the window, a match or literal past outSize, a marker that is not wanted or comes early,
// and input that runs out fail the stream. Any input ends in bounded time.
uint32_t LzmaPull(LzmaDecoder& s, EntryInput& in, const uint8_t** data, uint32_t max);

// The codec: LzmaBegin, then LzmaPull in pieces of 32 KB through WriteOutput. True when the
// stream ended as its format says and every byte was written; the caller compares the CRC-32.
bool DecodeLzma(EntryInput& in, EntryOutput& out);
