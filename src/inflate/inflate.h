// Inflate (RFC 1951): decodes one deflated entry from its input record into its output record,
// through a 32 KB window. A codec of the extraction run (codec/entry_io.h).
#pragma once
#include <cstdint>
#include "codec/entry_io.h"

// Constant tables of RFC 1951. Symbols 286 and 287 carry extra 99: they must not occur.
extern const uint16_t LengthBase[31];
extern const uint8_t LengthExtra[31];
extern const uint16_t DistanceBase[30];
extern const uint8_t DistanceExtra[30];
extern const uint8_t CodeLengthOrder[19];

// Decodes block after block until the last one, then flushes the rest of the window. An
// invalid code or code table ends its block, and decoding goes on with the next (as after a
// block of the reserved type 3); data ending inside a block end the entry. True when neither
// happened; false also when the window could not be allocated. Any input ends in bounded time.
// The caller compares the output's CRC-32. The table blocks stay as spares for the next
// entry: ReleaseSpareTables returns them to the heap.
bool Inflate(EntryInput& in, EntryOutput& out);
