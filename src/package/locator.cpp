// Attached-archive locator (see locator.h).
#include "package/locator.h"
#include "package/options_block.h"
#include "util/bytes.h"
#include "util/fatal.h"
#include "util/memory.h"
#include "util/message.h"
#include "util/strings.h"

int32_t FindArchiveOffset(FileHandle f, int32_t from) {
  uint8_t block[LocatorBlockSize];
  // Only block starts at multiples of 256 are examined; a block of fewer than four bytes
  // (the end of a file whose size is not a multiple of 256) cannot begin with the signature.
  for (int32_t offset = from;; offset += int32_t(LocatorBlockSize)) {
    const int32_t got = FileRead(f, block, LocatorBlockSize);
    if (got < 0) return -1;
    if (got == 0) return 0;
    if (got >= 4 && IsLocalHeaderSignature(block))
      return offset;
    if (offset > INT32_MAX - int32_t(LocatorBlockSize)) return 0;  // the next block is out of reach
  }
}

CopyResult DumpArchive(FileHandle f, int32_t offset, FileHandle dump) {
  if (FileSeek(f, offset) != offset) return {CopySide::Source, LastFileError()};
  const CopyResult copied = CopyFileData(f, dump);
  if (copied.failed != CopySide::None) return copied;
  if (!FileClose(dump)) return {CopySide::Target, LastFileError()};
  return copied;
}

bool ReadPackageOptions(FileHandle f, int32_t offset) {
  uint8_t block[OptionsBlockSize];
  const int32_t position = offset - int32_t(OptionsBlockSize);
  if (FileSeek(f, position) != position || FileRead(f, block, OptionsBlockSize) != int32_t(OptionsBlockSize))
    return false;
  ReadOptionsBlock(block);
  return true;
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

// Whether the file existing at name holds the bytes of f from offset to its end, exactly.
static bool HoldsArchive(FileHandle f, int32_t offset, FileHandle existing) {
  constexpr uint32_t Piece = 32768;
  MemBlock block(2 * Piece);
  uint8_t* const ours = block.get();
  uint8_t* const theirs = ours + Piece;
  if (FileSeek(f, offset) != offset) return false;
  for (;;) {
    const int32_t got = FileRead(f, ours, Piece);
    if (got < 0 || FileRead(existing, theirs, Piece) != got) return false;
    for (int32_t i = 0; i < got; ++i)
      if (ours[i] != theirs[i]) return false;
    if (got == 0) return true;
  }
}

// The "-z" dump: a dump file that cannot be created is reported and skipped, any other failure
// is fatal. A file already at the dump's name is kept when it holds the archive already, and
// otherwise replaced only when the user says so (a silent run never replaces it).
static void DumpOwnArchive(FileHandle f, int32_t offset, const char* ownPath) {
  char dumpName[1024 + 8];
  MakeDumpName(ownPath, dumpName, sizeof dumpName);
  const FileHandle existing = FileOpenRead(dumpName);
  if (existing != NoFile) {
    const bool same = HoldsArchive(f, offset, existing);
    FileClose(existing);
    if (same) return;
    char question[sizeof dumpName + 64];
    StrCopy(question, dumpName, sizeof question);
    StrAppend(question, "\r\nalready exists. Replace it with the attached archive?", sizeof question);
    if (ShowMessage(question, "Confirm overwrite of...", MsgYesNo | MsgIconQuestion) != MsgAnswerYes) return;
  }
  const FileHandle dump = FileCreate(dumpName);
  if (dump == NoFile) {
    ShowMessage(dumpName, "Unable to rewrite...", MsgIconError);
    return;
  }
  const CopyResult copied = DumpArchive(f, offset, dump);
  if (copied.failed != CopySide::None) FATAL_ERROR(copied.error);
}

int32_t LocateArchive(const char* ownPath, bool dump) {
  const FileHandle f = FileOpenRead(ownPath);
  if (f == NoFile) FatalFileError();
  const int32_t offset = FindArchiveOffset(f, 0);
  if (offset < 0) FatalFileError();
  if (offset != 0) {
    if (dump) DumpOwnArchive(f, offset, ownPath);
    if (!ReadPackageOptions(f, offset)) FatalFileError();
  }
  if (!FileClose(f)) FatalFileError();
  return offset;
}
