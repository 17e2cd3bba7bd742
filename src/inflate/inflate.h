// Inflate block decoder (RFC 1951): decodes one deflated entry from ArchiveHandle into
// OutputHandle through the window of bit_reader.h. Called by the extraction run per entry.
#pragma once
#include <cstdint>
#include "inflate/huffman.h"

// Constant tables of RFC 1951. Symbols 286 and 287 carry extra 99: they must not occur.
extern const uint16_t LengthBase[31];
extern const uint8_t LengthExtra[31];
extern const uint16_t DistanceBase[30];
extern const uint8_t DistanceExtra[30];
extern const uint8_t CodeLengthOrder[19];

// Fixed-code tables, built at the first fixed block of an entry and used by its later fixed
// blocks (root widths 7 and 5). InflateEntry releases them when the entry ends.
extern HuffmanEntry* FixedLiteralTable;
extern HuffmanEntry* FixedDistanceTable;
extern HuffmanEntry* FixedChain;  // both builds, for the release

// Decodes block after block until the last one, then flushes the rest of the window.
// Preconditions: ArchiveHandle at the entry's data (after the encryption header, keys ready),
// CompressedLeft = compressed bytes, OutputHandle open, RunningCrc preset. Reports nothing:
// the caller compares RunningCrc. Any input ends in bounded time: once the data run out inside
// a block (InputOverrun), that block ends as with an invalid code and the entry ends. The
// table blocks stay as spares for the next entry: ReleaseSpareTables returns them to the heap.
void InflateEntry();

// Reads one block header and decodes the block; last receives BFINAL. Type 3 decodes nothing.
void DecodeBlock(uint32_t& last);

// Block bodies of type 0, 1 and 2.
void DecodeStoredBlock();
int DecodeFixedBlock();  // the status of DecodeCodes
void DecodeDynamicBlock();

// Decodes literal/length and distance codes until end of block (result 0) or an invalid code
// (result 1: an Op 99 entry, a length with an empty distance code, or data ending inside the
// block). On 1, BitBuffer, BitCount and WindowPos keep the values they had before the call,
// while the input stays where reading stopped.
int DecodeCodes(const HuffmanEntry* tl, const HuffmanEntry* td, uint32_t bl, uint32_t bd);
