// Message boxes with no owner window.
#include <windows.h>
#include "util/message.h"
#include "util/wide_win32.h"

bool QuietMessages;

int ShowMessage(const char* text, const char* caption, uint32_t style) {
  if (QuietMessages) return (style & 0x0F) == MsgYesNo ? MsgAnswerNo : IDOK;
  return MessageBoxW(nullptr, Wide(text), Wide(caption, WideSecond), style);
}
