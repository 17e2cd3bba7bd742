// Command-line splitting (see cmdline.h).
#include "app/cmdline.h"

static bool IsBlank(char c) { return c != 0 && uint8_t(c) <= ' '; }

bool GetCommandArgument(const char* commandLine, int index, char* dest, uint32_t size) {
  const char* p = commandLine;
  if (size > 0) dest[0] = 0;
  for (int current = 0;; ++current) {
    while (IsBlank(*p)) ++p;
    if (*p == 0) return false;
    if (p[0] == '"' && p[1] == '"') p += 2;
    uint32_t length = 0;
    bool quoted = false;
    for (; *p != 0 && (quoted || !IsBlank(*p)); ++p) {
      if (*p == '"') quoted = !quoted;
      else if (current == index && length + 1 < size) dest[length++] = *p;
    }
    if (current == index) {
      if (size > 0) dest[length] = 0;
      return true;
    }
  }
}
