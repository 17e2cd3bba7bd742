// Message boxes of native builds: printed to stderr; a question is answered No.
#include <cstdio>
#include <cstring>
#include "util/message.h"

bool QuietMessages;

int ShowMessage(const char* text, const char* caption, uint32_t style) {
  if (!QuietMessages) std::fprintf(stderr, "%s: %s\n", caption, text);
  return (style & 0x0F) == MsgYesNo ? MsgAnswerNo : 1;
}

void SystemErrorText(uint32_t code, char* dest, uint32_t size) {
  std::snprintf(dest, size, "%s", std::strerror(int(code)));
}
