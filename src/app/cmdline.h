// Splitting of the process command line into arguments.
#pragma once
#include <cstdint>

// Copies argument `index` of commandLine into dest (size bytes, cut if longer); index 0 is the
// program name as typed. Characters up to and including the blank (1..32) separate arguments;
// a pair of double quotes at the start of an argument is skipped; inside an argument a double
// quote opens or closes a stretch in which blanks do not separate; quotes are removed.
// False, dest empty, when there is no such argument.
bool GetCommandArgument(const char* commandLine, int index, char* dest, uint32_t size);
