// Existence tests, directory creation and the temporary directory (see paths.h).
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

bool ForceDirectories(const char* dir) {
  char path[MAX_PATH + 1];
  if (!StrCopy(path, dir, sizeof path)) return false;  // longer than any directory the system creates
  uint32_t length = ZStrLength(path);
  if (length > 0 && path[length - 1] == '\\') path[--length] = 0;
  if (length < 3) return false;  // taken to exist, but not looked for
  // A directory the system reports as such is what the search of PathExists finds too, at a
  // fraction of its cost; anything else goes through that search.
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
  if (PathExists(path)) return true;
  char parent[MAX_PATH + 1];
  ExtractFileDir(path, parent, sizeof parent);
  ForceDirectories(parent);
  return CreateDirectoryA(path, nullptr) != 0;
}

void GetTempDirectory(char* dest, uint32_t size) {
  char buffer[1024];
  const DWORD length = GetTempPathA(1023, buffer);
  dest[0] = 0;
  if (length == 0 || length > 1023) return;
  buffer[length] = 0;
  if (!StrCopy(dest, buffer, size)) dest[0] = 0;
}
