// Program entry and mode selection: extractor mode for a package, builder mode for a bare stub
// given a ZIP name, the usage message otherwise. Windows only.
#pragma once
#include <windows.h>
#include <cstdint>

// Both in UTF-8, at any length the system gives (up to 32,767 UTF-16 units).
constexpr uint32_t OwnPathSize = 32768 * 3;
constexpr uint32_t CommandLineSize = 32768 * 3;
extern char OwnPath[OwnPathSize];          // the program's own file, as the system names it
extern char CommandLine[CommandLineSize];  // the process command line

// The folder made for t.dir with its final backslash (as ExtractDir has it once a run has used
// it), "" when none was made.
extern char PrivateDir[];

// Sets ExtractDir to the directory proposed at start (the main dialog's and a silent run's).
// False, ExtractDir untouched, when the -d directory cannot be made absolute within it.
bool ProposeExtractDir();

// Builder mode of the stub (Windows only): `zelvix.exe ZipName [Options [ExtPath]]` on a bare
// stub writes the package and offers to start it. Reads its arguments from the command line.
// Returns the exit code: 0 when the package was written; when it was refused, the system's
// code for why (ERROR_FILE_NOT_FOUND: no ZIP file; ERROR_FILENAME_EXCED_RANGE: ExtPath too
// long; the creation's own code: package file not created).
uint32_t BuildPackage();

// The whole run: returns the process exit code.
uint32_t RunProgram();
