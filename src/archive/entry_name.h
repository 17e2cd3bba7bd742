// Checks on entry names before they become paths below the extraction directory.
#pragma once

// False for a name that could reach outside the directory it is joined to: a component made of
// two or more dots (Windows also drops trailing dots and blanks, so ". ." counts too), a ':'
// anywhere (a drive, or a stream of another file), or a leading '\' or '/'.
bool IsSafeEntryName(const char* name);
