// Pure string and path routines (see strings.h).
#include "util/strings.h"

uint32_t ZStrLength(const char* text) {
  uint32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

bool StrCopy(char* dest, const char* text, uint32_t size) {
  if (size == 0) return false;
  uint32_t i = 0;
  for (; text[i] != 0; ++i) {
    if (i + 1 >= size) { dest[i] = 0; return false; }
    dest[i] = text[i];
  }
  dest[i] = 0;
  return true;
}

bool StrAppend(char* dest, const char* text, uint32_t size) {
  const uint32_t used = ZStrLength(dest);
  const uint32_t extra = ZStrLength(text);
  if (used + extra + 1 > size) return false;
  for (uint32_t i = 0; i <= extra; ++i) dest[used + i] = text[i];
  return true;
}

bool StrEqual(const char* a, const char* b) {
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

static bool IsNameEnd(char c) { return c == '/' || c == ':' || c == '\\'; }

static bool HasColon(const char* text) {
  for (; *text != 0; ++text)
    if (*text == ':') return true;
  return false;
}

static void CopyPrefix(const char* text, uint32_t length, char* dest, uint32_t size) {
  if (size == 0) return;
  if (length > size - 1) length = size - 1;
  for (uint32_t i = 0; i < length; ++i) dest[i] = text[i];
  dest[length] = 0;
}

void ExtractFileDir(const char* path, char* dest, uint32_t size) {
  uint32_t length = ZStrLength(path);
  if (length == 3 && HasColon(path)) return CopyPrefix(path, length, dest, size);  // "C:\" stays
  while (length > 0 && !IsNameEnd(path[length - 1])) --length;
  // Drop the separator itself, except for the root of a drive ("C:\name" gives "C:\");
  // a ':' stays ("C:name" gives "C:").
  if (length > 0 && IsPathSeparator(path[length - 1]) && !(length == 3 && path[1] == ':')) --length;
  CopyPrefix(path, length, dest, size);
}

void ExtractFileName(const char* path, char* dest, uint32_t size) {
  uint32_t length = ZStrLength(path);
  uint32_t start = length;
  while (start > 0 && !IsNameEnd(path[start - 1])) --start;
  CopyPrefix(path + start, length - start, dest, size);
}

char* SlashesToBackslashes(char* buffer) {
  for (char* p = buffer; *p != 0; ++p)
    if (*p == '/') *p = '\\';
  return buffer;
}

void BufferToString(const char* buffer, uint32_t count, char* dest, uint32_t size) {
  uint32_t length = 0;
  while (length < count && buffer[length] != 0) ++length;
  CopyPrefix(buffer, length, dest, size);
}

bool AddBackslash(char* buffer, uint32_t size) {
  const uint32_t length = ZStrLength(buffer);
  if (length > 0 && buffer[length - 1] == '\\') return true;
  if (length + 2 > size) return false;
  buffer[length] = '\\';
  buffer[length + 1] = 0;
  return true;
}
