// Existence tests, directory calls and the temporary directory of Windows (see paths.h).
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
