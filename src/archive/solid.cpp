// Solid packages (see solid.h).
#include "archive/solid.h"
#include <cstring>

namespace {

int32_t ReadPayload(InputSource* source, uint8_t* buffer, uint32_t n) {
  SolidPayload& payload = *static_cast<SolidPayload*>(source);
  uint32_t done = 0;
  while (done < n && payload.usable) {
    const uint8_t* data;
    const uint32_t got = LzmaPull(payload.lzma, payload.in, &data, n - done);
    if (got == 0) break;  // ended or failed: the entry reading it is cut short and fails
    memcpy(buffer + done, data, got);
    done += got;
  }
  payload.taken += done;
  return int32_t(done);
}

}  // namespace

SolidPayload::SolidPayload(FileHandle file, const LocalFileHeader& header, int32_t dataPos)
    : InputSource{ReadPayload}, in(file, int32_t(header.CompressedSize)), out(NoFile) {
  in.resumeAt = dataPos;
  in.flags = header.Flags;
  out.declaredSize = header.UncompressedSize;
  usable = header.Method == 14 && (header.Flags & FlagEncrypted) == 0 && LzmaBegin(lzma, in, out);
}

bool ReachEntry(SolidPayload& payload, const EntryWalk& walk) {
  const uint32_t start = walk.streamPos;
  const uint32_t end = start + LocalHeaderSize + walk.header.NameLength + walk.header.ExtraLength;
  if (payload.taken > start) payload.usable = false;
  while (payload.usable && payload.taken < end) {
    const uint32_t left = end - payload.taken;
    const uint8_t* data;
    const uint32_t n = LzmaPull(payload.lzma, payload.in, &data, left < InputChunkSize ? left : InputChunkSize);
    payload.usable = n != 0;
    for (uint32_t i = 0; i < n; ++i, ++payload.taken) {
      if (payload.taken < start) continue;  // dropped: before the entry's header
      const uint32_t at = payload.taken - start;
      if (data[i] != (at < LocalHeaderSize ? walk.headerBytes[at] : walk.name[at - LocalHeaderSize])) payload.usable = false;
    }
    if (payload.out.progress != nullptr && !payload.out.progress(payload.out.progressContext)) {
      payload.out.fault = OutputFault::Cancelled;
      payload.usable = false;
    }
  }
  return payload.usable;
}
