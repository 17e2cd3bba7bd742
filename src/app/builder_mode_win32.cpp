// Builder mode of the stub: a bare stub given `ZipName [Options [ExtPath]]` writes a package
// (itself, an options block, the ZIP file) and offers to start it. RunProgram calls BuildPackage.
#include <windows.h>
#include <shellapi.h>
#include "app/cmdline.h"
#include "app/startup.h"
#include "package/builder.h"
#include "package/options_block.h"
#include "util/fatal.h"
#include "util/message.h"
#include "util/paths.h"
#include "util/wide_win32.h"

// Literals, not arrays: the compiler aligns an array of this size to 32 bytes, a literal to one.
static const char* const ExtPathTooLongCaption = "Extract path too long...";
static const char* const ExtPathTooLongText =
    "The extract path has more than 243 characters. No package was written.";

uint32_t BuildPackage() {
  const char* commandLine = CommandLine;
  char zipName[ArgumentSize];
  GetCommandArgument(commandLine, 1, zipName, sizeof zipName);
  // PathExists turns '/' into '\' in zipName, so the package name below has backslashes.
  if (!PathExists(zipName)) {
    ShowMessage(zipName, "No input file...", MB_OK);
    return ERROR_FILE_NOT_FOUND;
  }

  // Only the first four characters count; an ExtPath cut at this buffer's size is still too long.
  char options[8];
  char extPath[MaxExtPathLength + 2];
  GetCommandArgument(commandLine, 2, options, sizeof options);
  GetCommandArgument(commandLine, 3, extPath, sizeof extPath);
  uint8_t block[OptionsBlockSize];
  if (!ComposeOptionsBlock(options, extPath, block)) {
    ShowMessage(ExtPathTooLongText, ExtPathTooLongCaption, MB_OK | MB_ICONHAND);
    return ERROR_FILENAME_EXCED_RANGE;
  }

  char packageName[ArgumentSize + PackageNameExtra];
  MakePackageName(zipName, packageName, sizeof packageName);

  // Both outcomes are examined after the second call: a failed open of the own file is fatal
  // even when the package file has been created meanwhile (it stays, empty).
  const FileHandle stub = FileOpenRead(OwnPath);
  const DWORD openError = GetLastError();
  const FileHandle package = FileCreate(packageName);
  if (stub == NoFile) FATAL_ERROR(openError);
  if (package == NoFile) {
    // Also the case of a package name equal to the running stub: start-up holds it without
    // write sharing.
    const DWORD createError = GetLastError();
    FileClose(stub);
    ShowMessage(packageName, "Unable to rewrite...", MB_OK);
    return createError;
  }

  // The ZIP file is opened under argument 1 as typed, not as PathExists left it.
  GetCommandArgument(commandLine, 1, zipName, sizeof zipName);
  // A write the system cut short without an error arrives as DiskFullError (ERROR_DISK_FULL).
  const PackageResult written = WritePackage(stub, package, block, zipName);
  if (written.failed != PackageFile::None) FATAL_ERROR(written.error);

  if (ShowMessage(packageName, "Created EXE file - Do yo want to test it ?", MB_YESNO | MB_ICONQUESTION) == IDYES)
    ShellExecuteW(nullptr, L"open", Wide(packageName), nullptr, nullptr, SW_SHOWNORMAL);
  return 0;
}
