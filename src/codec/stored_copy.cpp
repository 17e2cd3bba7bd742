// Stored-entry copy (see stored_copy.h).
#include "codec/stored_copy.h"

bool CopyStored(EntryInput& in, EntryOutput& out) {
  while (in.left > 0) {
    const int32_t count = RefillInput(in);
    if (count == 0) {  // end of the package file, or a failed read
      in.left = 0;
      return false;
    }
    in.left -= count;
    in.pos = uint32_t(count);
    WriteOutput(out, in.chunk, uint32_t(count));
    if (out.fault != OutputFault::None) return false;
  }
  return true;
}
