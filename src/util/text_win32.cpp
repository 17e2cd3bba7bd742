// Text at the Windows boundary (see text.h).
#include <windows.h>
#include "util/memory.h"
#include "util/text.h"

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
