// An entry's input and output records (see entry_io.h).
#include "codec/entry_io.h"
#include "util/crc32.h"
#include "util/memory.h"

EntryInput::EntryInput(FileHandle f, int32_t size, const CipherKeys* k)
    : file(f), left(size), encrypted(k != nullptr), keys(k != nullptr ? *k : CipherKeys{}),
      chunk(static_cast<uint8_t*>(MemAlloc(InputChunkSize + 2))) {}

EntryInput::~EntryInput() { MemFree(chunk); }

int32_t RefillInput(EntryInput& in) {
  // A refill happens only once the chunk is used up, so left is then exactly what is left of
  // the entry and the read never passes its end.
  const uint32_t want = in.left <= 0 ? 0 : in.left < int32_t(InputChunkSize) ? uint32_t(in.left) : InputChunkSize;
  int32_t got = 0;
  if (want != 0) {
    if (in.source != nullptr) got = in.source->read(in.source, in.chunk, want);
    else if (in.resumeAt == -1 || FileSeek(in.file, in.resumeAt) == in.resumeAt)
      got = FileRead(in.file, in.chunk, want);
  }
  if (got < 0) got = 0;  // a failed read brings nothing
  if (in.resumeAt != -1) in.resumeAt += got;
  if (in.encrypted) DecryptBuffer(in.keys, in.chunk, got);
  in.count = got;
  in.pos = 0;
  return got;
}

int32_t NextInputByte(EntryInput& in) {
  if (in.left <= 0) return -1;
  if (int32_t(in.pos) >= in.count && RefillInput(in) == 0) {
    in.left = -1;  // and every later call returns -1 at once
    return -1;
  }
  --in.left;
  return in.chunk[in.pos++];
}

EntryOutput::EntryOutput(FileHandle f) : file(f) {}

EntryOutput::~EntryOutput() { MemFree(window); }

bool OpenWindow(EntryOutput& out, uint32_t size) {
  MemFree(out.window);
  out.window = static_cast<uint8_t*>(MemTryAlloc(size + 2));
  out.windowSize = out.window != nullptr ? size : 0;
  return out.window != nullptr;
}

void WriteOutput(EntryOutput& out, const uint8_t* data, uint32_t n) {
  if (out.fault != OutputFault::None) return;
  if (n > out.declaredSize - out.written) {
    n = out.declaredSize - out.written;
    out.fault = OutputFault::TooLong;
  }
  int32_t written = n == 0 ? 0 : FileWrite(out.file, data, n);
  if (written != int32_t(n)) {
    out.error = written < 0 ? LastFileError() : DiskFullError;
    out.fault = OutputFault::WriteFailed;
    if (written < 0) written = 0;
  }
  out.written += uint32_t(written);
  UpdateCrc(data, uint32_t(written), out.crc);  // only what reached the file
  // A fault of this write stands: a stop asked for at the same time changes nothing then.
  if (out.progress != nullptr && !out.progress(out.progressContext) && out.fault == OutputFault::None)
    out.fault = OutputFault::Cancelled;
}
