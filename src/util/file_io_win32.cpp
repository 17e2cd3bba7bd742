// File access seam over Win32 handles.
#include <windows.h>
#include <winternl.h>
#include "util/file_io.h"
#include "util/memory.h"
#include "util/wide_win32.h"

static HANDLE H(FileHandle f) { return reinterpret_cast<HANDLE>(f); }

FileHandle FileOpenRead(const char* name) {
  return reinterpret_cast<FileHandle>(CreateFileW(WidePath(name), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileCreate(const char* name) {
  return reinterpret_cast<FileHandle>(CreateFileW(WidePath(name), GENERIC_READ | GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileCreateNew(const char* name) {
  return reinterpret_cast<FileHandle>(CreateFileW(WidePath(name), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Through the file's own handle, in one request to the system: MoveFileEx opens the file again
// and looks the new name up once more before it renames, and under Wine every look-up of a name
// that is not there searches its whole directory. The system refuses a directory or a read-only
// file at to. A target not in the "\\?\" form (a relative one) goes through MoveFileEx.
bool FileReplace(FileHandle file, const char* from, const char* to) {
  const WCHAR* target = WidePath(to, WideSecond);
  if (target[0] != '\\' || target[1] != '\\' || target[2] != '?')
    return MoveFileExW(WidePath(from), target, MOVEFILE_REPLACE_EXISTING) != FALSE;
  uint32_t length = 0;
  while (target[length] != 0) ++length;
  const uint32_t size = offsetof(FILE_RENAME_INFORMATION, FileName) + 2 * length;
  MemBlock block(size);
  auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(block.get());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = 2 * length;
  for (uint32_t i = 0; i < length; ++i) rename->FileName[i] = target[i];
  rename->FileName[1] = '?';  // "\\?\C:\..." is the system's "\??\C:\..."
  IO_STATUS_BLOCK status;
  return NtSetInformationFile(H(file), &status, rename, size, FileRenameInformation) >= 0;
}

bool FileDelete(const char* name) { return DeleteFileW(WidePath(name)) != FALSE; }

bool FileClose(FileHandle f) { return CloseHandle(H(f)) != FALSE; }

int32_t FileRead(FileHandle f, void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(H(f), buffer, count, &got, nullptr)) return -1;
  return int32_t(got);
}

int32_t FileWrite(FileHandle f, const void* buffer, uint32_t count) {
  DWORD written = 0;
  if (!WriteFile(H(f), buffer, count, &written, nullptr)) return -1;
  return int32_t(written);
}

int32_t FileSeek(FileHandle f, int32_t position) {
  // Without a high part the position is taken as signed: a negative one fails by itself, with
  // ERROR_NEGATIVE_SEEK, and the pointer stays where it was.
  const DWORD reached = SetFilePointer(H(f), position, nullptr, FILE_BEGIN);
  return reached == INVALID_SET_FILE_POINTER ? -1 : int32_t(reached);
}

int32_t FileEnd(FileHandle f) {
  DWORD high = 0;
  const DWORD low = GetFileSize(H(f), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return high != 0 || low > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(low);
}

static bool SetWriteTime(FileHandle f, const FILETIME& t) { return SetFileTime(H(f), nullptr, nullptr, &t) != FALSE; }

bool FileSetTimeUtc(FileHandle f, int64_t unixSeconds) {
  // A FILETIME counts 100 ns from 1601; 11,644,473,600 seconds lie between 1601 and 1970.
  const int64_t since1601 = unixSeconds + 11644473600LL;
  if (since1601 < 0) return false;
  const uint64_t ticks = uint64_t(since1601) * 10000000u;
  return SetWriteTime(f, FILETIME{DWORD(ticks), DWORD(ticks >> 32)});
}

bool FileSetTimeLocal(FileHandle f, const CalendarTime& c) {
  // Converted with the time-zone rules of that date (summer time included), not today's.
  const SYSTEMTIME local{c.year, c.month, 0, c.day, c.hour, c.minute, c.second, 0};
  SYSTEMTIME utc;
  FILETIME t;
  return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &t) &&
         SetWriteTime(f, t);
}

uint32_t LastFileError() { return GetLastError(); }

const uint32_t DiskFullError = ERROR_DISK_FULL;
