// Fatal error report and process end on Windows.
#include <windows.h>
#include "util/fatal.h"
#include "util/message.h"

void FatalError(uint32_t code, uintptr_t place) {
  char text[48];
  FormatRuntimeError(text, code, uint32_t(place));
  ShowMessage(text, "Error", MB_OK | MB_ICONHAND);
  ExitProcess(code);
}

void ExitProgram(uint32_t code) { ExitProcess(code); }
