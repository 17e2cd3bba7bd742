// Attached-archive locator (see locator.h).
#include "package/locator.h"
#include "package/options_block.h"
#include "util/fatal.h"
#include "util/message.h"
#include "util/strings.h"

static int32_t ReadOrFail(FileHandle f, uint8_t* buffer, uint32_t count) {
  const int32_t got = FileRead(f, buffer, count);
  if (got < 0) FatalFileError();
  return got;
}

static void SeekOrFail(FileHandle f, int32_t position) {
  if (FileSeek(f, position) != position) FatalFileError();
}

int32_t FindArchiveOffset(FileHandle f, int32_t from) {
  uint8_t block[LocatorBlockSize];
  // Only block starts at multiples of 256 are examined; a block of fewer than four bytes
  // (the end of a file whose size is not a multiple of 256) cannot begin with the signature.
  for (int32_t offset = from;; offset += int32_t(LocatorBlockSize)) {
    const int32_t got = FileRead(f, block, LocatorBlockSize);
    if (got < 0) return -1;
    if (got == 0) return 0;
    if (got >= 4 && block[0] == 0x50 && block[1] == 0x4B && block[2] == 0x03 && block[3] == 0x04)
      return offset;
    if (offset > INT32_MAX - int32_t(LocatorBlockSize)) return 0;  // the next block is out of reach
  }
}

bool DumpArchive(FileHandle f, int32_t offset, const char* dumpName) {
  const FileHandle dump = FileCreate(dumpName);
  if (dump == NoFile) return false;
  SeekOrFail(f, offset);
  uint8_t block[LocatorBlockSize];
  for (;;) {
    const int32_t got = ReadOrFail(f, block, LocatorBlockSize);
    if (got == 0) break;
    const int32_t written = FileWrite(dump, block, uint32_t(got));
    if (written < 0) FatalFileError();
    if (written < got) break;
  }
  if (!FileClose(dump)) FatalFileError();
  return true;
}

void ReadPackageOptions(FileHandle f, int32_t offset) {
  uint8_t block[OptionsBlockSize];
  SeekOrFail(f, offset - int32_t(OptionsBlockSize));
  if (ReadOrFail(f, block, OptionsBlockSize) != int32_t(OptionsBlockSize)) FatalFileError();
  ReadOptionsBlock(block);
}

// ownPath minus its last four characters, whatever they are, followed by "_.zip".
static void MakeDumpName(const char* ownPath, char* dest, uint32_t size) {
  const uint32_t length = ZStrLength(ownPath);
  const uint32_t keep = length > 4 ? length - 4 : 0;
  uint32_t i = 0;
  for (; i < keep && i + 1 < size; ++i) dest[i] = ownPath[i];
  dest[i] = 0;
  StrAppend(dest, "_.zip", size);
}

int32_t LocateArchive(const char* ownPath, const char* argument1) {
  const FileHandle f = FileOpenRead(ownPath);
  if (f == NoFile) FatalFileError();
  const int32_t offset = FindArchiveOffset(f, 0);
  if (offset < 0) FatalFileError();
  if (offset != 0) {
    if (StrEqual(argument1, "-z")) {
      char dumpName[1024 + 8];
      MakeDumpName(ownPath, dumpName, sizeof dumpName);
      if (!DumpArchive(f, offset, dumpName)) ShowMessage(dumpName, "Unable to rewrite...", MsgIconError);
    }
    ReadPackageOptions(f, offset);
  }
  if (!FileClose(f)) FatalFileError();
  return offset;
}
