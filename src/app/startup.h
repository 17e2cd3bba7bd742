// Program entry and mode selection: extractor mode for a package, builder mode for a bare stub
// given a ZIP name, the usage message otherwise. Windows only.
#pragma once
#include <windows.h>
#include <cstdint>

extern HINSTANCE ModuleInstance;  // the module's own instance handle, used for every dialog
extern HWND MainDialogHandle;     // the main dialog while it is shown
// Both in UTF-8, at any length the system gives (up to 32,767 UTF-16 units).
constexpr uint32_t OwnPathSize = 32768 * 3;
constexpr uint32_t CommandLineSize = 32768 * 3;
extern char OwnPath[OwnPathSize];          // the program's own file, as the system names it
extern char CommandLine[CommandLineSize];  // the process command line

// Sets ExtractDir to the directory proposed at start (the main dialog's and a silent run's).
void ProposeExtractDir();

// The whole run: returns the process exit code.
uint32_t RunProgram();
