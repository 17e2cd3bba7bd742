// Text at the Windows boundary (see text.h).
#include <windows.h>
#include "util/strings.h"
#include "util/text.h"
#include "util/wide_win32.h"

bool OemToUtf8(const uint8_t* text, uint32_t length, char* dest, uint32_t size) {
  dest[0] = 0;
  if (length == 0) return true;
  const int units = int(length < WideUnits ? length : WideUnits);  // one unit per byte
  const int count = MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<LPCCH>(text), units, WideResult, units);
  const int written = count > 0 ? WideCharToMultiByte(CP_UTF8, 0, WideResult, count, dest, int(size - 1), nullptr, nullptr) : 0;
  dest[written > 0 ? written : 0] = 0;
  return written > 0 && uint32_t(units) == length;
}

static WCHAR WideTexts[2][WideUnits];
static WCHAR WidePaths[2][WideUnits + 4];  // and the "\*" or "*.*" that callers append
WCHAR WideResult[WideUnits];

WCHAR* Wide(const char* text, WideSlot slot) {
  WCHAR* out = WideTexts[slot];
  if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, int(WideUnits)) == 0) out[0] = 0;
  return out;
}

WCHAR* WidePath(const char* path, WideSlot slot) {
  WCHAR* const start = WidePaths[slot];
  WCHAR* out = start;
  const WCHAR* prefix = L"";
  if (IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && path[2] != '?') {
    prefix = L"\\\\?\\UNC";  // "\\server\share" becomes "\\?\UNC\server\share"
    ++path;
  } else if (path[0] != 0 && path[1] == ':' && IsPathSeparator(path[2])) {
    prefix = L"\\\\?\\";
  }
  while (*prefix != 0) *out++ = *prefix++;
  if (MultiByteToWideChar(CP_UTF8, 0, path, -1, out, int(WideUnits - 8)) == 0) *out = start[0] = 0;
  WCHAR* kept = out;
  for (const WCHAR* p = out;; ++p) {
    const WCHAR c = *p == '/' ? '\\' : *p;
    if (kept > out && kept[-1] == '\\') {
      if (c == '\\' && kept > out + 1) continue;  // a repeated separator; "\\?\" itself stays
      if (c == '.' && (p[1] == 0 || p[1] == '\\' || p[1] == '/')) continue;  // a "." component
    }
    *kept++ = c;
    if (c == 0) return start;
  }
}

void ToUtf8(const WCHAR* text, int length, char* dest, uint32_t size) {
  int written = WideCharToMultiByte(CP_UTF8, 0, text, length, dest, int(size - 1), nullptr, nullptr);
  if (written > 0 && length < 0) --written;  // the terminator was counted
  dest[written > 0 ? written : 0] = 0;
}

void ToAnsi(const char* text, char* dest, uint32_t size) {
  if (WideCharToMultiByte(CP_ACP, 0, Wide(text), -1, dest, int(size), nullptr, nullptr) == 0) dest[0] = 0;
  dest[size - 1] = 0;
}
