// Package builder, portable part (see builder.h): the package name rule, the 32 KB copy loop and
// the package layout. Called by the stub's BuildPackage and by zelvix-pack.
#include "package/builder.h"
#include "package/options_block.h"
#include "util/fatal.h"
#include "util/memory.h"
#include "util/strings.h"

bool MakePackageName(const char* zipName, char* dest, uint32_t size) {
  uint32_t keep = ZStrLength(zipName);
  while (keep > 0 && zipName[keep - 1] != '.') --keep;
  if (keep + PackageNameExtra + 1 > size) {
    if (size > 0) dest[0] = 0;
    return false;
  }
  for (uint32_t i = 0; i < keep; ++i) dest[i] = zipName[i];
  dest[keep] = 'e';
  dest[keep + 1] = 'x';
  dest[keep + 2] = 'e';
  dest[keep + 3] = 0;
  return true;
}

static void CloseOrFail(FileHandle f) {
  if (!FileClose(f)) FatalFileError();
}

void CopyFileData(FileHandle from, FileHandle to) {
  MemBlock buffer(CopyUnitSize);
  for (;;) {
    const int32_t got = FileRead(from, buffer.get(), CopyUnitSize);
    if (got < 0) FatalFileError();
    if (got == 0) return;
    const int32_t written = FileWrite(to, buffer.get(), uint32_t(got));
    if (written < 0) FatalFileError();
    // A short write (a full disk that reports no error) ends the copy without a report.
    if (written < got) return;
  }
}

void WritePackage(FileHandle stub, FileHandle package, const uint8_t* optionsBlock, const char* zipName) {
  CopyFileData(stub, package);
  CloseOrFail(stub);
  // The stub is a multiple of 256 bytes, so the block and the archive start on the 256-byte
  // boundaries the locator scans.
  if (FileWrite(package, optionsBlock, OptionsBlockSize) < 0) FatalFileError();
  const FileHandle zip = FileOpenRead(zipName);
  if (zip == NoFile) FatalFileError();
  CopyFileData(zip, package);
  CloseOrFail(zip);
  CloseOrFail(package);
}
