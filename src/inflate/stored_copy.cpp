// Stored-entry copy (see stored_copy.h).
#include "inflate/stored_copy.h"
#include "app/state.h"
#include "archive/decrypt.h"
#include "archive/local_header.h"
#include "inflate/bit_reader.h"
#include "util/memory.h"

void CopyStoredEntry() {
  if (CompressedLeft <= 0) return;
  const uint32_t size = CompressedLeft < int32_t(InputChunkSize) ? uint32_t(CompressedLeft) : InputChunkSize;
  MemBlock buffer(size + 2);
  while (CompressedLeft > 0) {
    const uint32_t want = CompressedLeft < int32_t(size) ? uint32_t(CompressedLeft) : size;
    const int32_t count = FileRead(ArchiveHandle, buffer.get(), want);
    if (count <= 0) {  // end of the package file, or a failed read
      CompressedLeft = 0;
      break;
    }
    CompressedLeft -= count;
    if (LocalHeader.Flags & FlagEncrypted) DecryptBuffer(buffer.get(), count);
    int32_t written = FileWrite(OutputHandle, buffer.get(), uint32_t(count));
    if (written < 0) written = 0;
    UpdateCrc(buffer.get(), written, RunningCrc);  // only what reached the file
    if (OutputProgress != nullptr) OutputProgress();
  }
}
