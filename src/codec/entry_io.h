// The seam between the extraction run and the codecs: the two records through which one entry's
// bytes travel. The run builds both for each entry and hands them to a codec,
//
//   EntryInput in(file, compressedSize, keys);   // file at the entry's data
//   EntryOutput out(target);
//   const bool ended = Inflate(in, out);          // or CopyStored, ...
//   ... ended && OutputCrc(out) == stated CRC-32 ...
//
// and every codec has that shape: bool Decode(EntryInput&, EntryOutput&), true when the data
// ended as its format says (the caller still compares the CRC-32). Deciphering happens in the
// input's refill, the CRC-32 in the output's write; a codec sees plain bytes on both sides.
#pragma once
#include <cstdint>
#include "util/cipher.h"
#include "util/file_io.h"

constexpr uint32_t InputChunkSize = 32768;  // largest read from the package file

// Where an entry's bytes come from when not straight from the package file: a solid package's
// decoded payload. read places up to n (at least 1) bytes in buffer and returns how many; 0 once
// the source has no more.
struct InputSource {
  int32_t (*read)(InputSource* source, uint8_t* buffer, uint32_t n);
};

// One entry's compressed bytes, read from the package file in chunks of up to InputChunkSize
// and deciphered in place when the entry is encrypted. Refills never read past the entry.
struct EntryInput {
  // file stands at the entry's first data byte (past its encryption header); size is the
  // number of bytes to read; keys, when not null, stand ready for the first data byte.
  EntryInput(FileHandle file, int32_t size, const CipherKeys* keys = nullptr);
  ~EntryInput();
  EntryInput(const EntryInput&) = delete;
  EntryInput& operator=(const EntryInput&) = delete;

  FileHandle file;
  uint16_t flags = 0;  // the entry's general-purpose flags (bit 1: an LZMA stream ends with its marker)
  // Bytes of the entry not yet handed to the codec: a chunk's bytes count as handed out when the
  // codec takes them (and lowers this). Below 0 once a codec asked for more than there was.
  int32_t left;
  bool encrypted;
  CipherKeys keys;
  uint8_t* chunk;     // InputChunkSize bytes (and two spare): the current chunk, deciphered
  int32_t count = 0;  // bytes the last refill placed in chunk
  uint32_t pos = 0;   // next byte of chunk to hand out
  InputSource* source = nullptr;  // when set, refills read from it rather than from file
  // When not -1: where in file the next refill reads, moved on by each. For an input read in
  // turns with other readers of the same file, which move its position in between.
  int32_t resumeAt = -1;
};

// Reads the next chunk once the current one is used up (pos == count): min(left, 32768) bytes
// (fewer when the source gives fewer), deciphered, pos := 0. Returns count, 0 when the read
// brings nothing (end of file, failed read, or left <= 0). left is not changed.
int32_t RefillInput(EntryInput& in);

// The next byte of the entry (0..255), refilling the chunk when it is used up; -1 once left has
// run out (no read is made then) or the file ended (left := 0 first). Every call lowers left.
int32_t NextInputByte(EntryInput& in);

// Why an output took no more bytes. After a fault, writes do nothing and a codec ends its entry
// at its next write: the entry has failed.
enum class OutputFault : uint8_t {
  None,
  TooLong,      // the data would go past the declared size: a stream may never write more
  WriteFailed,  // the system took fewer bytes than it was given (error: its reason)
  Cancelled,    // the progress call said stop: the user cancelled the run
};

// Where one entry's plain bytes go: the output file, the CRC-32 of what reached it, the
// window of a codec that needs one, and the call that keeps the window of the run answering.
struct EntryOutput {
  explicit EntryOutput(FileHandle file);
  ~EntryOutput();
  EntryOutput(const EntryOutput&) = delete;
  EntryOutput& operator=(const EntryOutput&) = delete;

  FileHandle file;
  // The uncompressed size the entry states: no more is written. The run always sets it; the
  // default is no limit.
  uint32_t declaredSize = 0xFFFFFFFF;
  uint32_t written = 0;         // bytes that reached the file
  uint32_t crc = 0xFFFFFFFF;    // running register of the bytes written so far
  OutputFault fault = OutputFault::None;
  uint32_t error = 0;           // with WriteFailed: the system's error code
  uint8_t* window = nullptr;    // OpenWindow's block, released with the record
  uint32_t windowSize = 0;
  // Called, when set, after each write (32 KB at most apart), with progressContext: the run
  // shows how far it has read and lets its window answer while one large entry is decoded.
  // False: stop here (Cancelled).
  bool (*progress)(void* context) = nullptr;
  void* progressContext = nullptr;
};

// Allocates a window of size bytes (and two spare, for word loads at its end), its contents
// undefined. False when the heap has no such block: the codec then fails its entry.
bool OpenWindow(EntryOutput& out, uint32_t size);

// Writes data[0..n-1] to the output file and folds into the CRC-32 the bytes the write reports
// as written (a failed write counts as none). Bytes past declaredSize are never written: the
// first such call writes up to it and sets TooLong. A short or failed write sets WriteFailed.
// Nothing is written after a fault. Then the progress call; its false sets Cancelled
// (when the write itself did not fault).
void WriteOutput(EntryOutput& out, const uint8_t* data, uint32_t n);
inline void FlushWindow(EntryOutput& out, uint32_t n) { WriteOutput(out, out.window, n); }

// The CRC-32 of what was written (the register complemented).
inline uint32_t OutputCrc(const EntryOutput& out) { return out.crc ^ 0xFFFFFFFF; }
