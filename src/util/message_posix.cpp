// Message boxes of native builds: printed to stderr; a question is answered No.
#include <cstdio>
#include "util/message.h"

int ShowMessage(const char* text, const char* caption, uint32_t style) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return (style & 0x0F) == MsgYesNo ? MsgAnswerNo : 1;
}
