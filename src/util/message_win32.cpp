// Message boxes with no owner window.
#include <windows.h>
#include "util/message.h"

bool QuietMessages;

int ShowMessage(const char* text, const char* caption, uint32_t style) {
  if (QuietMessages) return (style & 0x0F) == MsgYesNo ? MsgAnswerNo : IDOK;
  return MessageBoxA(nullptr, text, caption, style);
}
