// Existence tests, directory calls, the temporary directory and private folders of Windows
// (see paths.h).
#include <windows.h>
#include "util/paths.h"
#include "util/strings.h"

bool PathExists(char* buffer) {
  const uint32_t length = ZStrLength(buffer);
  if (length == 0) return false;
  char pattern[PatternBufferSize];
  const char* search = buffer;
  if (buffer[length - 1] == '\\') {
    // The path without its backslash, then "*.*": length - 1 + 3 characters and the zero.
    if (length + 3 > PatternBufferSize) return false;
    for (uint32_t i = 0; i + 1 < length; ++i) pattern[i] = buffer[i];
    StrCopy(pattern + length - 1, "*.*", 4);
    search = SlashesToBackslashes(pattern);
  } else {
    SlashesToBackslashes(buffer);
  }
  WIN32_FIND_DATAA found;
  const HANDLE h = FindFirstFileA(search, &found);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  return h != INVALID_HANDLE_VALUE;
}

bool IsDirectory(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

void GetTempDirectory(char* dest, uint32_t size) {
  char buffer[1024];
  const DWORD length = GetTempPathA(1023, buffer);
  dest[0] = 0;
  if (length == 0 || length > 1023) return;
  buffer[length] = 0;
  if (!StrCopy(dest, buffer, size)) dest[0] = 0;
}

// RtlGenRandom: the system's cryptographic random-number source, exported under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

bool MakePrivateTempDirectory(char* dest, uint32_t size) {
  static const char Prefix[] = "zelvix-";
  GetTempDirectory(dest, size);
  const uint32_t base = ZStrLength(dest);
  for (int attempt = 0; attempt < 16; ++attempt) {
    uint8_t random[8];
    if (base == 0 || base + sizeof Prefix + 16 > size || !SystemFunction036(random, sizeof random)) break;
    char* p = dest + base;
    for (char c : Prefix) *p++ = c;
    --p;
    for (uint8_t byte : random) {
      *p++ = "0123456789ABCDEF"[byte >> 4];
      *p++ = "0123456789ABCDEF"[byte & 15];
    }
    *p = 0;
    if (CreateDirectoryA(dest, nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  dest[0] = 0;  // never the temporary directory itself
  return false;
}

// Removes what lies below path (length characters of a buffer of size) and then path itself.
static void RemoveBelow(char* path, uint32_t length, uint32_t size) {
  WIN32_FIND_DATAA found;
  if (length + 3 <= size) {
    StrCopy(path + length, "\\*", 3);
    const HANDLE search = FindFirstFileA(path, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const char* name = found.cFileName;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (!StrCopy(path + length + 1, name, size - length - 1)) continue;
        const DWORD attributes = found.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(path);
        else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) RemoveDirectoryA(path);
        else RemoveBelow(path, length + 1 + ZStrLength(name), size);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
  path[length] = 0;
  RemoveDirectoryA(path);
}

void RemoveDirectoryTree(const char* dir) {
  char path[1024];
  if (StrCopy(path, dir, sizeof path)) RemoveBelow(path, ZStrLength(path), sizeof path);
}
