// Huffman decoding tables for the inflater: multi-level lookup tables built from a list of code
// lengths (canonical codes of RFC 1951, 3.2.2) and released again. Called by inflate.cpp.
#pragma once
#include <cstdint>
#include "util/speed.h"

// Op values of a table entry.
constexpr uint8_t OpEndOfBlock = 15;  // literal/length symbol 256
constexpr uint8_t OpLiteral = 16;     // a literal byte, or any symbol of an all-simple code
constexpr uint8_t OpLinkBase = 16;    // 17..32: link to a sub-table of Op - 16 index bits
constexpr uint8_t OpInvalid = 99;     // a pattern no symbol owns, or a symbol that must not occur

// One table entry. Op 0..13: a length or distance base in Value, Op extra bits follow the code.
// Bits: stream bits to drop when the entry is taken (the code length less the widths of the
// tables above). Next: the sub-table of a link entry; in a table's hidden header, the chain;
// unwritten in other entries.
struct HuffmanEntry {
  uint8_t Op;
  uint8_t Bits;
  uint16_t Value;
  HuffmanEntry* Next;
};

constexpr uint32_t MaxCodeLength = 16;
constexpr uint32_t MaxSymbols = 288;

// Builds the tables for the code whose symbol i has length lengths[i] (0 = unused, at most 16),
// i = 0..n-1, n <= 288. Symbols below s stand for themselves (Op 16, or 15 for symbol 256);
// symbol s + j takes Value base[j] and Op extra[j] for j < extraCount, Op 99 beyond.
// lookupBits: the preferred root width on entry, the width used on return (index the root
// with exactly that many bits). Each table is one heap block whose first entry is a hidden
// header linking to the table allocated before it; chain ends at the last one allocated, and
// the first table's header takes chain's value on entry. Results:
//   0 complete code (also incomplete with a longest code of 1 bit); every length 0 gives an
//     empty root and lookupBits 0.
//   1 incomplete code: tables built, unowned patterns decode as Op 99.
//   2 over-subscribed (or a length above 16): nothing allocated, root untouched.
int BuildHuffmanTables(const uint16_t* lengths, uint32_t n, uint32_t s, const uint16_t* base,
                       const uint8_t* extra, uint32_t extraCount, HuffmanEntry*& root,
                       HuffmanEntry*& chain, uint32_t& lookupBits);

// Releases table and every table reached through the header links, until an empty link.
// Callers pass their chain variable. Returns 0. The heap blocks are kept as spares that later
// builds take again, in this entry and the next ones, until ReleaseSpareTables returns them to
// the heap (at the end of an extraction run).
int FreeHuffmanTables(HuffmanEntry* table);
void ReleaseSpareTables();
