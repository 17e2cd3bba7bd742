// Fuzz target for finding where an entry ends: the input is a local header (30 bytes), its name
// and extra field, and whatever follows. Whatever it holds, the search ends, reads inside its
// buffers, and a known extent never ends before the data begin.
#include <cstdlib>
#include "archive/data_descriptor.h"
#include "fuzz_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < LocalHeaderSize) return 0;
  static const int fd = fuzz::MemoryFile("package");
  fuzz::EnsureTables();
  fuzz::SetFile(fd, data, size);
  const LocalFileHeader header = DecodeLocalHeader(data);
  const size_t extraStart = LocalHeaderSize + header.NameLength;
  const size_t extraLength = extraStart >= size ? 0 : std::min<size_t>(header.ExtraLength, size - extraStart);
  const int32_t dataPos = int32_t(extraStart + header.ExtraLength);
  const EntryExtent extent =
      FindEntryExtent(fd, header, dataPos, data + std::min(extraStart, size), uint32_t(extraLength));
  if (extent.status == ExtentStatus::Known) {
    if (extent.nextHeader < dataPos) abort();
    if (uint32_t(extent.nextHeader - dataPos) < extent.compressedSize) abort();
  }
  return 0;
}
