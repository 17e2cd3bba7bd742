// Positioning of the package file (ArchiveHandle) from its start.
#pragma once
#include <cstdint>

// Moves ArchiveHandle to position and records it in LastSeekPos; -1 there when the move failed.
void SeekArchive(int32_t position);
