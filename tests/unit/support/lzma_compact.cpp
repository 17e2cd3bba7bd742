// The LZMA decoder in the stub's compact form (util/speed.h), built natively so that the tests
// run both forms of the one source: the same functions under the names of lzma_compact.h.
#define ZELVIX_LZMA_COMPACT
#include "support/lzma_compact.h"
#define LzmaBegin CompactLzmaBegin
#define LzmaPull CompactLzmaPull
#define DecodeLzma CompactDecodeLzma
#include "lzma/lzma.cpp"
