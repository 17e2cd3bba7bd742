// File access seam of the portable core: open, read, write, seek and close one file.
// Implemented over Win32 handles (file_io_win32.cpp) and POSIX descriptors (file_io_posix.cpp).
#pragma once
#include <cstdint>

// A Win32 HANDLE value or a POSIX descriptor; NoFile is INVALID_HANDLE_VALUE / -1 alike.
using FileHandle = intptr_t;
constexpr FileHandle NoFile = -1;

// Opens an existing file for reading, others may read and write it meanwhile. NoFile on failure.
FileHandle FileOpenRead(const char* name);
// Creates or truncates a file for reading and writing. NoFile on failure.
FileHandle FileCreate(const char* name);
// Creates a new file for writing, shared with nobody while it is written (but that it may be
// renamed); fails (NoFile) when name exists already, so a name drawn at random can never take
// another's file.
FileHandle FileCreateNew(const char* name);
// Gives the file open in file, made by FileCreateNew at from, the name to in one step, replacing
// a file that is there, but never a directory or a read-only file; file stays open. False when
// the system refuses; to is then as it was.
bool FileReplace(FileHandle file, const char* from, const char* to);
// Removes a file; false when the system refuses.
bool FileDelete(const char* name);
// Closes the file; false when the system reports a failure.
bool FileClose(FileHandle f);
// Reads up to count bytes. Returns the number read (0 at the end of the file), -1 on failure.
int32_t FileRead(FileHandle f, void* buffer, uint32_t count);
// Writes count bytes. Returns the number the system reports as written, -1 on failure (also
// when part of the bytes went out before the failure).
int32_t FileWrite(FileHandle f, const void* buffer, uint32_t count);
// Moves to an absolute position. Returns that position, or -1 on failure (a negative position
// fails too, with an error code of its own).
int32_t FileSeek(FileHandle f, int32_t position);
// The file's size, at most 2^31 - 1 (positions are 32-bit); -1 when the system cannot tell.
int32_t FileEnd(FileHandle f);
// A date and time of the calendar, the system's local time.
struct CalendarTime {
  uint16_t year, month, day, hour, minute, second;
};
// Set the last-write time of an open file, from seconds since 1970 UTC or from a local time.
// False when the system refuses (or cannot represent the time).
bool FileSetTimeUtc(FileHandle f, int64_t unixSeconds);
bool FileSetTimeLocal(FileHandle f, const CalendarTime& local);
// The system's error code of the last failed call above (GetLastError or errno).
uint32_t LastFileError();
// The system's error code for a full disk (ERROR_DISK_FULL, ENOSPC). A write that takes fewer
// bytes than it was given without reporting an error is a failure under this code.
extern const uint32_t DiskFullError;
