// Package builder, portable part (see builder.h): the package name rule, the 32 KB copy loop and
// the package layout. Called by the stub's BuildPackage and by zelvix-pack.
#include "package/builder.h"
#include <cstring>
#include "package/options_block.h"
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
  std::memcpy(dest + keep, "exe", PackageNameExtra + 1);
  return true;
}

// A write that puts all count bytes or fails; a short count without an error is a full disk.
static CopyResult WriteAll(FileHandle to, const void* data, uint32_t count) {
  const int32_t written = FileWrite(to, data, count);
  if (uint32_t(written) == count) return {CopySide::None, 0};
  return {CopySide::Target, written < 0 ? LastFileError() : DiskFullError};
}

CopyResult CopyFileData(FileHandle from, FileHandle to) {
  MemBlock buffer(CopyUnitSize);
  for (;;) {
    const int32_t got = FileRead(from, buffer.get(), CopyUnitSize);
    if (got < 0) return {CopySide::Source, LastFileError()};
    if (got == 0) return {CopySide::None, 0};
    const CopyResult written = WriteAll(to, buffer.get(), uint32_t(got));
    if (written.failed != CopySide::None) return written;
  }
}

// Appends the rest of `from` to the package, then closes `from`. A failed read or close is
// charged to `part`, a failed write to the package.
static PackageResult AppendFile(FileHandle from, PackageFile part, FileHandle package) {
  const CopyResult copied = CopyFileData(from, package);
  if (copied.failed != CopySide::None)
    return {copied.failed == CopySide::Source ? part : PackageFile::Package, copied.error};
  if (!FileClose(from)) return {part, LastFileError()};
  return {PackageFile::None, 0};
}

PackageResult WritePackage(FileHandle stub, FileHandle package, const uint8_t* optionsBlock, const char* zipName) {
  PackageResult result = AppendFile(stub, PackageFile::Stub, package);
  if (result.failed != PackageFile::None) return result;
  // The stub is a multiple of 256 bytes, so the block and the archive start on the 256-byte
  // boundaries the locator scans.
  const CopyResult block = WriteAll(package, optionsBlock, OptionsBlockSize);
  if (block.failed != CopySide::None) return {PackageFile::Package, block.error};
  const FileHandle zip = FileOpenRead(zipName);
  if (zip == NoFile) return {PackageFile::Zip, LastFileError()};
  result = AppendFile(zip, PackageFile::Zip, package);
  if (result.failed != PackageFile::None) return result;
  if (!FileClose(package)) return {PackageFile::Package, LastFileError()};
  return result;
}
