// The build's speed switches, in one place. The stub is built for size (-Oz, -Os for the
// decoders); these mark the few places where speed pays for its bytes, each with its reason.
// Native builds are optimised for speed as a whole and run every path the stub ships.
#pragma once

// Helpers of an inner loop (refill, sub-table links, match copy, CRC-32 slices): inlined even
// where the build favours size, since a call per code or per word costs more than their bytes.
#define ZELVIX_INLINE __attribute__((always_inline)) inline

// The slow halves of those helpers (a refill at a chunk's end, a long code's sub-tables, the
// window's first clearing): kept out of the loop, so that its registers stay free.
#define ZELVIX_COLD __attribute__((noinline))

// The CRC-32 folds two 16 KB lanes at once natively (one register alone waits on its table
// lookups). The stub folds one: under Wine its 32-bit code gains nothing from the second, whose
// 640 bytes go to the table builder instead. Both paths are built and tested natively.
#if defined(_WIN32) && defined(__GNUC__) && !defined(__clang__)
constexpr bool CrcTwoLanes = false;
#else
constexpr bool CrcTwoLanes = true;
#endif

// The LZMA decoder's bit step (one probability, one range update) and its bit-tree loops: a
// called function in the stub, where a dozen inlined copies would cost more bytes than the
// whole decoder may; inlined natively, where the call per bit is most of the decoding time.
// Natively the decoding loop also works on a copy of the decoder's state, which then lives in
// registers; the stub works on the state in place (no copy in and out, shorter addressing).
// ZELVIX_LZMA_COMPACT builds the stub's form natively too, for the tests.
#if (defined(_WIN32) && defined(__GNUC__) && !defined(__clang__)) || defined(ZELVIX_LZMA_COMPACT)
#define ZELVIX_NATIVE_INLINE __attribute__((noinline))
constexpr bool LzmaStateInRegisters = false;
#else
#define ZELVIX_NATIVE_INLINE ZELVIX_INLINE
constexpr bool LzmaStateInRegisters = true;
#endif
