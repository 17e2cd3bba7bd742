// SeekArchive (see seek.h).
#include "util/seek.h"
#include "app/state.h"

void SeekArchive(int32_t position) {
  LastSeekPos = FileSeek(ArchiveHandle, position);
}
