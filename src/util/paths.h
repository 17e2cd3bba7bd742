// File-system side of the file and path utilities: existence tests, directory trees and the
// temporary directory. Paths use '\' (and '/') as separators; the POSIX build turns '\' into
// '/' at the system call, so the native tests extract below a real directory.
#pragma once
#include <cstdint>

// Whether a file or directory answers to the path. A path ending in '\' is searched as the path
// without it followed by "*.*" (so C:\dir\ is found by C:\dir*.*). Otherwise every '/' of
// buffer is turned into '\' in place first.
bool PathExists(char* buffer);

// Whether the system reports path as a directory (a quick test; PathExists is the thorough one).
bool IsDirectory(const char* path);
// Creates one directory; false when the system refuses.
bool MakeDirectory(const char* path);
// Removes one empty directory; false when the system refuses.
bool RemoveEmptyDirectory(const char* path);

// Creates dir and its missing parents; failures are ignored (callers test with PathExists).
// A path shorter than three characters is taken to exist. True when dir was found or made:
// the caller's own existence test would answer true then, so it may be left out.
bool ForceDirectories(const char* dir);

// The system's temporary directory (ending in '\'), or "" when it cannot be had or does not fit.
// Windows only.
void GetTempDirectory(char* dest, uint32_t size);
// The current directory; false, dest "", when it cannot be had or does not fit. Windows only.
bool GetCurrentDir(char* dest, uint32_t size);
// The current directory, or "." when it cannot be had or does not fit. Windows only.
void GetCurrentDirOrDot(char* dest, uint32_t size);
// Makes the current directory; false when the system refuses. Windows only.
bool SetCurrentDir(const char* path);

// Makes path absolute (from the current directory) and plain: no "." or ".." components, one
// separator between components; false, path unchanged, when that fails or does not fit in size.
bool MakeAbsolute(char* path, uint32_t size);

// Writes RandomDigits hexadecimal digits (upper case) from the system's random-number source and
// a terminating zero at dest. False when the system gives no random number.
constexpr uint32_t RandomDigits = 16;
bool AppendRandomDigits(char* dest);

// Makes a new directory inside the temporary directory, named "zelvix-" and 16 hexadecimal
// digits (upper case) from the system's random-number source, and names it in dest; a name that exists
// already is drawn again. False when none could be made: dest then holds the last name drawn
// (the system refused to make it), or "" (no temporary directory, no random number, or every
// name drawn taken). Windows only.
bool MakePrivateTempDirectory(char* dest, uint32_t size);

// Removes dir and everything below it, as far as the system lets it: what cannot be removed
// stays. Links to directories are removed, never followed. Windows only.
void RemoveDirectoryTree(const char* dir);
