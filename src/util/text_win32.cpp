// Text at the Windows boundary (see text.h).
#include <windows.h>
#include "util/memory.h"
#include "util/strings.h"
#include "util/text.h"
#include "util/wide_win32.h"

bool OemToUtf8(const uint8_t* text, uint32_t length, char* dest, uint32_t size) {
  dest[0] = 0;
  if (length == 0) return true;
  MemBlock wide(length * 2);
  WCHAR* characters = reinterpret_cast<WCHAR*>(wide.get());
  const int count = MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<LPCCH>(text), int(length), characters, int(length));
  const int written = count > 0 ? WideCharToMultiByte(CP_UTF8, 0, characters, count, dest, int(size - 1), nullptr, nullptr) : 0;
  dest[written > 0 ? written : 0] = 0;
  return written > 0;
}

WideText::WideText(const char* text, bool path) {
  const int count = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  text_ = static_cast<WCHAR*>(MemAlloc(uint32_t(count + 8) * 2));
  WCHAR* out = text_;
  const WCHAR* prefix = L"";
  if (path && IsPathSeparator(text[0]) && IsPathSeparator(text[1]) && text[2] != '?') {
    prefix = L"\\\\?\\UNC";  // "\\server\share" becomes "\\?\UNC\server\share"
    ++text;
  } else if (path && text[0] != 0 && text[1] == ':' && IsPathSeparator(text[2])) {
    prefix = L"\\\\?\\";
  }
  while (*prefix != 0) *out++ = *prefix++;
  *out = 0;
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out, count);
  if (!path) return;
  WCHAR* kept = out;
  for (const WCHAR* p = out;; ++p) {
    const WCHAR c = *p == '/' ? '\\' : *p;
    if (c == '\\' && kept > out + 1 && kept[-1] == '\\') continue;  // "\\?\" itself stays
    *kept++ = c;
    if (c == 0) return;
  }
}

WideText::~WideText() { MemFree(text_); }

void ToUtf8(const WCHAR* text, int length, char* dest, uint32_t size) {
  int written = WideCharToMultiByte(CP_UTF8, 0, text, length, dest, int(size - 1), nullptr, nullptr);
  if (written > 0 && length < 0) --written;  // the terminator was counted
  dest[written > 0 ? written : 0] = 0;
}

void ToAnsi(const char* text, char* dest, uint32_t size) {
  const int written = WideCharToMultiByte(CP_ACP, 0, WideText(text), -1, dest, int(size), nullptr, nullptr);
  if (written == 0) dest[0] = 0;
  dest[size - 1] = 0;
}
