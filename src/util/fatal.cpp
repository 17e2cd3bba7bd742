// Text of the fatal error report (see fatal.h).
#include "util/fatal.h"
#include "util/file_io.h"

void FormatRuntimeError(char* text, uint32_t code, uint32_t place) {
  char digits[10];
  int count = 0;
  do { digits[count++] = char('0' + code % 10); code /= 10; } while (code != 0);
  const char head[] = "Runtime error ";
  int at = 0;
  for (; head[at] != 0; ++at) text[at] = head[at];
  for (int pad = count; pad < 3; ++pad) text[at++] = ' ';  // right-aligned in the blanks
  while (count > 0) text[at++] = digits[--count];
  const char middle[] = " at ";
  for (int i = 0; middle[i] != 0; ++i) text[at++] = middle[i];
  for (int shift = 28; shift >= 0; shift -= 4) text[at++] = "0123456789ABCDEF"[(place >> shift) & 0xF];
  text[at] = 0;
}

[[noreturn]] void FatalFileError() {
  const uint32_t code = LastFileError();
  FatalError(code != 0 ? code : EndOfFileError, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}
