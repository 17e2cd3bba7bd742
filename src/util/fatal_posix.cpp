// Fatal error report and process end in native builds: the report goes to stderr.
#include <cstdio>
#include <unistd.h>
#include "util/fatal.h"

void FatalError(uint32_t code, uintptr_t place) {
  char text[48];
  FormatRuntimeError(text, code, uint32_t(place));
  std::fprintf(stderr, "Error: %s\n", text);
  std::fflush(stderr);
  _exit(int(code & 0xFF));
}

void ExitProgram(uint32_t code) {
  std::fflush(nullptr);
  _exit(int(code & 0xFF));
}
