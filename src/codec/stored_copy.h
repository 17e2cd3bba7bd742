// The codec of stored entries (method 0): the entry's bytes go to the output as they are, in
// the input's chunks of up to 32 KB (deciphered by the input when the entry is encrypted).
#pragma once
#include "codec/entry_io.h"

// Copies the input's bytes to the output until in.left runs out. True when every byte came;
// false when the package file ended first (or a read failed), in.left then 0.
bool CopyStored(EntryInput& in, EntryOutput& out);
