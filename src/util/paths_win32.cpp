// Existence tests, directory calls, the temporary directory and private folders of Windows
// (see paths.h).
#include <windows.h>
#include <cstring>
#include "util/paths.h"
#include "util/strings.h"
#include "util/wide_win32.h"

bool PathExists(char* buffer) {
  WCHAR* search = WidePath(buffer);
  uint32_t end = 0;
  while (search[end] != 0) ++end;
  if (end == 0) return false;
  if (search[end - 1] == '\\') {
    // The path without its backslash (a drive's root keeps it), then "*.*".
    if (search[end - 2] != ':') --end;
    std::memcpy(search + end, L"*.*", sizeof L"*.*");
  } else {
    SlashesToBackslashes(buffer);
  }
  WIN32_FIND_DATAW found;
  const HANDLE h = FindFirstFileW(search, &found);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  return h != INVALID_HANDLE_VALUE;
}

bool IsDirectory(const char* path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const char* path) { return CreateDirectoryW(WidePath(path), nullptr) != 0; }
bool RemoveEmptyDirectory(const char* path) { return RemoveDirectoryW(WidePath(path)) != 0; }

// Converts what a call left in WideResult (length units, 0 when it failed or did not fit).
static bool TakeResult(DWORD length, char* dest, uint32_t size) {
  dest[0] = 0;
  if (length != 0 && length < WideUnits) ToUtf8(WideResult, -1, dest, size);
  return dest[0] != 0;
}

void GetTempDirectory(char* dest, uint32_t size) { TakeResult(GetTempPathW(WideUnits, WideResult), dest, size); }

bool GetCurrentDir(char* dest, uint32_t size) {
  return TakeResult(GetCurrentDirectoryW(WideUnits, WideResult), dest, size);
}

void GetCurrentDirOrDot(char* dest, uint32_t size) {
  if (!GetCurrentDir(dest, size)) StrCopy(dest, ".", size);
}

bool SetCurrentDir(const char* path) { return SetCurrentDirectoryW(Wide(path)) != 0; }

bool MakeAbsolute(char* path, uint32_t size) {
  const DWORD length = GetFullPathNameW(Wide(path), WideUnits, WideResult, nullptr);
  if (length == 0 || length >= WideUnits) return false;
  const int needed = WideCharToMultiByte(CP_UTF8, 0, WideResult, -1, nullptr, 0, nullptr, nullptr);
  return needed > 0 && uint32_t(needed) <= size && TakeResult(length, path, size);
}

// RtlGenRandom: the system's cryptographic random-number source, exported under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

bool AppendRandomDigits(char* dest) {
  uint8_t random[8];
  if (!SystemFunction036(random, sizeof random)) return false;
  for (uint8_t byte : random) {
    *dest++ = "0123456789ABCDEF"[byte >> 4];
    *dest++ = "0123456789ABCDEF"[byte & 15];
  }
  *dest = 0;
  return true;
}

bool MakePrivateTempDirectory(char* dest, uint32_t size) {
  static const char Prefix[] = "zelvix-";
  GetTempDirectory(dest, size);
  const uint32_t base = ZStrLength(dest);
  if (base != 0 && base + sizeof Prefix + RandomDigits <= size) {
    // The prefix once; each attempt draws the digits after it again.
    std::memcpy(dest + base, Prefix, sizeof Prefix);
    for (int attempt = 0; attempt < 16 && AppendRandomDigits(dest + base + sizeof Prefix - 1); ++attempt) {
      if (MakeDirectory(dest)) return true;
      if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
  }
  dest[0] = 0;  // never the temporary directory itself
  return false;
}

// Without recursion, as a tree can be thousands of levels deep: each step looks into the deepest
// directory reached, deletes its files and links, goes down into its first subdirectory, and
// once none is left removes it and goes back up. A directory that cannot be removed ends it all.
void RemoveDirectoryTree(const char* dir) {
  WCHAR* path = WidePath(dir);
  uint32_t base = 0;
  while (path[base] != 0) ++base;
  if (base == 0) return;  // never "\*", the root of the current drive
  uint32_t length = base;
  WIN32_FIND_DATAW found;
  for (;;) {
    bool down = false;
    std::memcpy(path + length, L"\\*", sizeof L"\\*");
    const HANDLE search = FindFirstFileW(path, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const WCHAR* name = found.cFileName;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        uint32_t end = length + 1;
        for (const WCHAR* p = name; *p != 0 && end + 3 < WideUnits; ++p) path[end++] = *p;
        path[end] = 0;
        const DWORD attributes = found.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(path);
        else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryW(path);
        else { down = true; length = end; }
      } while (!down && FindNextFileW(search, &found));
      FindClose(search);
    }
    if (down) continue;
    path[length] = 0;
    if (!RemoveDirectoryW(path) || length <= base) return;
    while (path[--length] != '\\') {
    }
  }
}
