// Splitting of the process command line into arguments, and the switches a package takes.
#pragma once
#include <cstdint>
#include "archive/decrypt.h"

constexpr uint32_t ArgumentSize = 1024;  // the longest argument taken whole, and its zero
// Room for a -d argument: the whole command line, in UTF-8, can go into it.
constexpr uint32_t DirectoryArgumentSize = 32768 * 3;

// Copies argument `index` of commandLine into dest (size bytes, cut if longer); index 0 is the
// program name as typed. Characters up to and including the blank (1..32) separate arguments;
// a pair of double quotes at the start of an argument is skipped; inside an argument a double
// quote opens or closes a stretch in which blanks do not separate; quotes are removed.
// False, dest empty, when there is no such argument.
bool GetCommandArgument(const char* commandLine, int index, char* dest, uint32_t size);

// What a package's command line asks for. Each switch in its '-' or '/' form, letters in either
// case, in any order; arguments that are none of them are passed over. "-z" (the dump of the
// attached archive) is taken exactly as written, as it always was.
//   -s            silent: no window, no message box; the outcome is the exit code
//   -d DIR        the extraction directory
//   -p PASSWORD   tried first for every encrypted entry
//   -? or -h      the list of switches
//   --            ends the package's own arguments: the rest of the line is setup.exe's
// A -d or -p argument is taken whole or not at all: tooLong names the switch whose argument its
// buffer cannot hold ('d' or 'p'; 0 when none), and the program refuses the command line.
struct PackageSwitches {
  bool silent, help, dump;
  char tooLong;
  char directory[DirectoryArgumentSize];  // "" when not given
  char password[PasswordSize];   // "" when not given
  const char* setupArguments;    // the command line's text after "--" and its blanks, or ""
};
extern PackageSwitches Switches;
// Fills Switches from the command line (all off and empty first).
void ReadPackageSwitches(const char* commandLine);
// Whether argument is one of the switches above (what a bare stub is not given to build from).
bool IsPackageSwitch(const char* argument);
