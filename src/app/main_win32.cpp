// Program entry: opens the program's own file, builds the CRC-32 table, locates the attached
// archive, then shows the main dialog, builds a package or explains the usage.
#include "app/startup.h"
#include "app/cmdline.h"
#include "archive/extraction_run.h"
#include "dialogs/dialogs.h"
#include "package/locator.h"
#include "package/options_block.h"
#include "package/stub_mark.h"
#include "util/crc32.h"
#include "util/fatal.h"
#include "util/memory.h"
#include "util/message.h"
#include "util/paths.h"
#include "util/strings.h"
#include "util/wide_win32.h"
#include "resource.h"

// Referenced by nothing: the linker script keeps it, at the start of the first section.
extern "C" __attribute__((section(".zelvix.mark"), used)) const char ZelvixStubMark[] = ZELVIX_STUB_MARK_PREFIX ZELVIX_VERSION;

char OwnPath[OwnPathSize];
char CommandLine[CommandLineSize];

// Literals, not arrays: the compiler aligns an array of this size to 32 bytes, a literal to one.
static const char* const UsageCaption = " Zelvix  ver.0.80  [ a.start a.close r.setup t.dir ] ";
static const char* const SwitchesText =
    "-s\tsilent: no window, only the exit code\r"
    "-d DIR\textract into DIR\r"
    "-p PASSWORD\ttry this password first\r"
    "-z\talso write the archive to <package>_.zip\r"
    "-- ARGS\tgive ARGS to setup.exe\r\r"
    "Also /s, /d, /p. Exit codes: 0 done, 1 damaged archive, 2 not all extracted, 1223 cancelled.";
static const char* const UsageText =
    "Couldn't find attached archive. To create package:\r\rZelvix.exe  ZipName  [Options  [ExtPath] ]\r\r";

// Packages are run from download folders: a DLL planted beside them must never be loaded.
// Only the System32 directory is searched, where the system allows that; otherwise at least the
// current directory is taken out of the search.
static void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryA("");
}

char PrivateDir[ExtractDirSize];

// The directory proposed at start: the -d directory of the command line (made absolute from the
// current directory); with t.dir a new private folder inside the temporary directory, so that
// nothing lands among other programs' files there; otherwise the current directory joined
// with the extract path of the options block (its environment variables expanded), or with the
// program's own name cut at its last '.'. An extract path holding a '\' stands alone. A proposal that is empty or
// longer than ExtractDir can hold is replaced by the current directory (or "." if even that is
// too long); false, nothing proposed, for a -d directory that cannot be made absolute within
// ExtractDir: the user's own choice is never replaced.
bool ProposeExtractDir() {
  MemBlock block(2 * ExtractDirSize);
  char* path = reinterpret_cast<char*>(block.get());
  char* extPath = path + ExtractDirSize;
  const uint32_t size = ExtractDirSize;
  path[0] = 0;
  if (Switches.directory[0] != 0) {
    if (!StrCopy(path, Switches.directory, size) || !MakeAbsolute(path, size)) return false;
  } else if (OptTempDir) {
    if (MakePrivateTempDirectory(path, size) &&
        !(StrCopy(PrivateDir, path, sizeof PrivateDir) && AddBackslash(PrivateDir, sizeof PrivateDir)))
      PrivateDir[0] = 0;
  } else {
    // Environment variables in the extract path (%ProgramFiles%, %LOCALAPPDATA%, ...) as the
    // system expands them: an unknown one stays as written.
    const DWORD units = ExpandEnvironmentStringsW(Wide(OptExtractPath), WideResult, WideUnits);
    if (units != 0 && units <= WideUnits) ToUtf8(WideResult, -1, extPath, size);
    else StrCopy(extPath, OptExtractPath, size);
    const char* backslash = extPath;
    while (*backslash != 0 && *backslash != '\\') ++backslash;
    if (*backslash != 0) {
      StrCopy(path, extPath, size);
    } else {
      GetCurrentDir(path, size);
      AddBackslash(path, size);
      if (extPath[0] != 0) {
        StrAppend(path, extPath, size);
      } else {
        char name[FileNameSize];
        ExtractFileName(OwnPath, name, sizeof name);
        for (uint32_t i = ZStrLength(name); i > 0; --i)
          if (name[i - 1] == '.') { name[i - 1] = 0; break; }
        StrAppend(path, name, size);
      }
    }
  }
  if (path[0] != 0 && StrCopy(ExtractDir, path, ExtractDirSize)) return true;
  GetCurrentDirOrDot(ExtractDir, ExtractDirSize);
  return true;
}

// Closes the package file however the run below it ends.
struct StartupResources {
  ~StartupResources() {
    if (!FileClose(ArchiveHandle))
      ShowMessage("Error closing file", "Error", MB_OK | MB_ICONHAND);
  }
};

// Starts setup.exe from ExtractDir, which becomes the current directory it inherits, with the
// arguments that followed "--". The full path keeps the system from taking a setup.exe out of
// the package's own directory instead. An installer waits for it and returns its exit code.
static uint32_t RunSetup(bool installer) {
  if (!SetCurrentDir(ExtractDir)) FatalFileError();
  char name[] = "setup.exe";
  if (!PathExists(name)) return 0;
  // The command line: the quoted full path (ExtractDir is absolute and ends in a backslash once
  // an extraction has used it), which the system takes as the program without any search, then
  // the arguments.
  const uint32_t size = ZStrLength(ExtractDir) + ZStrLength(Switches.setupArguments) + 16;
  MemBlock command(size);
  char* line = reinterpret_cast<char*>(command.get());
  line[0] = '"', line[1] = 0;
  StrAppend(line, ExtractDir, size);
  StrAppend(line, "setup.exe\" ", size);
  StrAppend(line, Switches.setupArguments, size);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(nullptr, Wide(line), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return installer ? GetLastError() : 0;
  DWORD exitCode = 0;
  if (installer) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exitCode);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

// The private folder is an installer's scratch space when r.setup extracts into it: removed
// with all it holds once setup.exe has ended (or the extraction failed). Otherwise it holds the
// user's files and stays, unless nothing went into it.
static void LeavePrivateDir(bool installer) {
  // A current directory cannot be removed: the temporary directory becomes it (the folder's
  // path up to the backslash before its name).
  char* name = PrivateDir + ZStrLength(PrivateDir) - 1;
  *name = 0;
  while (name[-1] != '\\') --name;
  const char first = *name;
  *name = 0;
  SetCurrentDir(PrivateDir);
  *name = first;
  if (installer) RemoveDirectoryTree(PrivateDir);
  else RemoveEmptyDirectory(PrivateDir);
}

// With the package file open: builds a package, explains the usage or the switches, or
// extracts (extractor := true). Returns the exit code of what it did. Not inlined: in its
// caller each of its ends would get a copy of the file's closing.
__attribute__((noinline)) static uint32_t RunPackage(bool& extractor) {
  uint32_t exitCode = 0;
  BuildCrcTable();
  ArchiveOffset = LocateArchive(OwnPath, Switches.dump);
  if (ArchiveOffset == 0) {
    // A bare stub builds from a ZIP name; given only a package's switches, it explains itself.
    char argument1[ArgumentSize];
    GetCommandArgument(CommandLine, 1, argument1, sizeof argument1);
    if (argument1[0] != 0 && !IsPackageSwitch(argument1)) exitCode = BuildPackage();
    else ShowMessage(UsageText, UsageCaption, MB_OK | MB_ICONEXCLAMATION);
  } else if (Switches.help) {
    ShowMessage(SwitchesText, UsageCaption, MB_OK | MB_ICONINFORMATION);
  } else if (Switches.tooLong != 0 || !ProposeExtractDir()) {
    // An argument is never cut or replaced: the line is refused instead.
    ShowMessage(Switches.tooLong == 'p' ? "The password given with -p is too long." : "The directory given with -d is too long.",
                "Zelvix error", MB_OK | MB_ICONHAND);
    exitCode = ERROR_FILENAME_EXCED_RANGE;
  } else {
    // Tried in the ANSI code page first, then as typed (UTF-8), as a typed password is.
    ToAnsi(Switches.password, Password, sizeof Password);
    StrCopy(PasswordUtf8, Switches.password, sizeof PasswordUtf8);
    if (Switches.silent) {
      SilentExtraction();
    } else {
      DialogBoxParamW(ModuleInstance, L"" MAIN_DIALOG, nullptr, MainDlgProc, 0);
    }
    extractor = true;
  }
  return exitCode;
}

uint32_t RunProgram() {
  ModuleInstance = GetModuleHandleA(nullptr);
  const DWORD ownLength = GetModuleFileNameW(nullptr, WideResult, WideUnits);
  ToUtf8(WideResult, ownLength < WideUnits ? int(ownLength) : 0, OwnPath, sizeof OwnPath);
  ToUtf8(GetCommandLineW(), -1, CommandLine, sizeof CommandLine);
  ReadPackageSwitches(CommandLine);
  QuietMessages = Switches.silent;

  ArchiveHandle = reinterpret_cast<FileHandle>(CreateFileW(WidePath(OwnPath), GENERIC_READ, FILE_SHARE_READ,
                                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (ArchiveHandle == NoFile) {
    const DWORD error = GetLastError();
    ShowMessage(OwnPath, "Couldn't open...", MB_OK | MB_ICONHAND);
    return error;
  }
  bool extractor = false;
  uint32_t exitCode;
  {
    StartupResources resources;
    exitCode = RunPackage(extractor);
  }
  if (!extractor) return exitCode;
  // 2 when the last extraction left entries not written and verified, 1223 when the user
  // stopped it; leaving without an extraction, or after a sound one, is 0, or setup.exe's own
  // code when it was waited for.
  exitCode = ExtractionCancelled ? ERROR_CANCELLED : ExtractionFailed ? 2 : 0;
  AddBackslash(ExtractDir, ExtractDirSize);
  const bool installer = OptRunSetup && PrivateDir[0] != 0 && StrEqual(ExtractDir, PrivateDir);
  if (ExtractionOk && !ExtractionFailed && OptRunSetup) exitCode = RunSetup(installer);
  if (PrivateDir[0] != 0) LeavePrivateDir(installer);
  return exitCode;
}

extern "C" void __stdcall ZelvixEntry() {
  RestrictDllSearch();
  ExitProcess(RunProgram());
}
