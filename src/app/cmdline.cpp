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

// Whether argument is the switch letter in its '-' or '/' form, in either case.
static bool IsSwitch(const char* argument, char letter) {
  return (argument[0] == '-' || argument[0] == '/') && (argument[1] | 0x20) == letter && argument[2] == 0;
}

PackageSwitches Switches;

void ReadPackageSwitches(const char* commandLine) {
  PackageSwitches& out = Switches;
  out.silent = out.help = out.dump = false;
  out.directory[0] = out.password[0] = 0;
  char argument[ArgumentSize];
  for (int index = 1; GetCommandArgument(commandLine, index, argument, sizeof argument); ++index) {
    if (IsSwitch(argument, 's')) out.silent = true;
    else if (IsSwitch(argument, 'h') || IsSwitch(argument, '?')) out.help = true;
    else if (argument[0] == '-' && argument[1] == 'z' && argument[2] == 0) out.dump = true;
    else if (IsSwitch(argument, 'd')) GetCommandArgument(commandLine, ++index, out.directory, sizeof out.directory);
    else if (IsSwitch(argument, 'p')) GetCommandArgument(commandLine, ++index, out.password, sizeof out.password);
  }
}
