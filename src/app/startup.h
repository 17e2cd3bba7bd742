// Program entry and mode selection: extractor mode for a package, builder mode for a bare stub
// given a ZIP name, the usage message otherwise. Windows only.
#pragma once
#include <windows.h>
#include <cstdint>

constexpr UINT ArgumentSize = 1024;

extern HINSTANCE ModuleInstance;  // the module's own instance handle, used for every dialog
extern HWND MainDialogHandle;     // the main dialog while it is shown

// The whole run: returns the process exit code.
uint32_t RunProgram();
