// Zero-terminated character buffers and path splitting: the pure routines of the file and
// path utilities. '\' and '/' both separate directories, ':' ends a drive name.
// Every routine that writes takes the size of its destination and never writes past it.
#pragma once
#include <cstdint>

// Number of characters before the first zero byte, however long the text.
uint32_t ZStrLength(const char* text);

// Copies text into dest (size bytes, terminator included). False when it had to be cut.
bool StrCopy(char* dest, const char* text, uint32_t size);
// Appends text to the zero-terminated dest (size bytes in all). False, dest unchanged, when it would not fit.
bool StrAppend(char* dest, const char* text, uint32_t size);
bool StrEqual(const char* a, const char* b);

// The directory part of path: "C:\dir\file" gives "C:\dir", "C:\file" gives "C:\",
// "C:file" gives "C:", "\file" and "file" give "". A three-character path with a ':' stays whole.
void ExtractFileDir(const char* path, char* dest, uint32_t size);
// The part after the last '\', '/' or ':'.
void ExtractFileName(const char* path, char* dest, uint32_t size);
// Turns every '/' into '\', in place, however long the text.
char* SlashesToBackslashes(char* buffer);
// The first count bytes of buffer, cut at the first zero byte; dest receives at most size - 1.
void BufferToString(const char* buffer, uint32_t count, char* dest, uint32_t size);
// Appends '\' unless the text already ends in one (an empty text becomes "\").
// False, buffer unchanged, when size leaves no room for it.
bool AddBackslash(char* buffer, uint32_t size);

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
