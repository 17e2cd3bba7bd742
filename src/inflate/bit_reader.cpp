// The inflater's bit reader and window clearing (see bit_reader.h).
#include "inflate/bit_reader.h"
#include <cstring>
#include "util/speed.h"

// Natural alignment, as for the tables of inflate.cpp.
alignas(2) const uint16_t MaskBits[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F,
                                          0x003F, 0x007F, 0x00FF, 0x01FF, 0x03FF, 0x07FF,
                                          0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

void NeedBits(Inflater& z, uint32_t n, uint32_t& bits, uint32_t& count) {
  EntryInput& in = z.in;
  while (count < n) {
    // A byte still in the chunk is taken here (bytes in the chunk are never beyond the entry):
    // block headers are read a few bits at a time, and two calls per byte cost more than that.
    int32_t c;
    if (int32_t(in.pos) < in.count) {
      c = in.chunk[in.pos++];
      --in.left;
    } else {
      c = NextInputByte(in);
    }
    if (c < 0) z.fillBits += 8;
    bits |= uint32_t(c) << count;  // -1 is all ones: one-bits from position count upwards
    count += 8;
  }
}

ZELVIX_COLD void ClearWindowFrom(Inflater& z, uint32_t position) {
  memset(z.out.window + position, 0, WindowSize + 2 - position);
  z.windowDefined = true;
}
