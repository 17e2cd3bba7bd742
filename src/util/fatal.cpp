// Text of the fatal error report (see fatal.h).
#include "util/fatal.h"
#include "util/file_io.h"

// Copies text to at, without its zero; returns where it ended.
static char* Put(char* at, const char* text) {
  while (*text != 0) *at++ = *text++;
  return at;
}

void FormatRuntimeError(char* text, uint32_t code, uint32_t place) {
  char digits[10];
  int count = 0;
  do { digits[count++] = char('0' + code % 10); code /= 10; } while (code != 0);
  char* at = Put(text, "Runtime error ");
  for (int pad = count; pad < 3; ++pad) *at++ = ' ';  // right-aligned in the blanks
  while (count > 0) *at++ = digits[--count];
  at = Put(at, " at ");
  for (int shift = 28; shift >= 0; shift -= 4) *at++ = "0123456789ABCDEF"[(place >> shift) & 0xF];
  *at = 0;
}

[[noreturn]] void FatalFileError() {
  const uint32_t code = LastFileError();
  FatalError(code != 0 ? code : EndOfFileError, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}
