// The stub's compact form of the LZMA decoder, built natively (support/lzma_compact.cpp): the
// functions of lzma/lzma.h under other names.
#pragma once
#include "lzma/lzma.h"

bool CompactLzmaBegin(LzmaDecoder& s, EntryInput& in, EntryOutput& out);
uint32_t CompactLzmaPull(LzmaDecoder& s, EntryInput& in, const uint8_t** data, uint32_t max);
bool CompactDecodeLzma(EntryInput& in, EntryOutput& out);
