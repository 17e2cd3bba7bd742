// Command-line splitting (see cmdline.h).
#include "app/cmdline.h"
#include "util/strings.h"

static bool IsBlank(char c) { return c != 0 && uint8_t(c) <= ' '; }

// Copies the argument at or after p into dest (cut to size; *cut tells, when given) and moves p
// past it; false, dest untouched, when only blanks are left.
static bool NextArgument(const char*& p, char* dest, uint32_t size, bool* cut = nullptr) {
  while (IsBlank(*p)) ++p;
  if (*p == 0) return false;
  if (p[0] == '"' && p[1] == '"') p += 2;
  uint32_t length = 0;
  bool quoted = false;
  for (; *p != 0 && (quoted || !IsBlank(*p)); ++p) {
    if (*p == '"') quoted = !quoted;
    else if (length + 1 < size) dest[length++] = *p;
    else if (cut != nullptr) *cut = true;
  }
  if (size > 0) dest[length] = 0;
  return true;
}

bool GetCommandArgument(const char* commandLine, int index, char* dest, uint32_t size) {
  for (int current = 0; NextArgument(commandLine, dest, size); ++current)
    if (current == index) return true;
  if (size > 0) dest[0] = 0;
  return false;
}

// Which switch argument is: its letter in lower case ('s', 'd', 'p', 'h' or '?', each in its
// '-' or '/' form, in either case), 'z' for "-z" and '-' for "--", exactly as written; 0 when it
// is none of them.
static char SwitchLetter(const char* argument) {
  if (argument[0] == '-' && (argument[1] == 'z' || argument[1] == '-') && argument[2] == 0) return argument[1];
  if (argument[0] != '-' && argument[0] != '/') return 0;
  for (const char* letter = "sdph?"; *letter != 0; ++letter)
    if ((argument[1] | 0x20) == *letter && argument[2] == 0) return *letter;
  return 0;
}

PackageSwitches Switches;

void ReadPackageSwitches(const char* commandLine) {
  PackageSwitches& out = Switches;
  out.silent = out.help = out.dump = false;
  out.tooLong = 0;
  out.directory[0] = out.password[0] = 0;
  out.setupArguments = "";
  char argument[ArgumentSize];
  const char* p = commandLine;
  NextArgument(p, argument, sizeof argument);  // the program name
  while (NextArgument(p, argument, sizeof argument)) {
    const char letter = SwitchLetter(argument);
    if (letter == '-') {
      while (IsBlank(*p)) ++p;
      out.setupArguments = p;
      return;
    }
    if (letter == 's') out.silent = true;
    else if (letter == 'h' || letter == '?') out.help = true;
    else if (letter == 'z') out.dump = true;
    else if (letter == 'd' || letter == 'p') {
      bool cut = false;
      if (letter == 'd') NextArgument(p, out.directory, sizeof out.directory, &cut);
      else NextArgument(p, out.password, sizeof out.password, &cut);
      if (cut && out.tooLong == 0) out.tooLong = letter;
    }
  }
}

bool IsPackageSwitch(const char* argument) { return SwitchLetter(argument) != 0; }
