// Program entry and mode selection: extractor mode for a package, builder mode for a bare stub
// given a ZIP name, the usage message otherwise. Windows only.
#pragma once
#include <windows.h>
#include <cstdint>

extern HINSTANCE ModuleInstance;  // the module's own instance handle, used for every dialog
extern HWND MainDialogHandle;     // the main dialog while it is shown
extern char OwnPath[MAX_PATH + 1];  // the program's own file, as the system names it

// Sets ExtractDir to the directory proposed at start (the main dialog's and a silent run's).
void ProposeExtractDir();

// The whole run: returns the process exit code.
uint32_t RunProgram();
