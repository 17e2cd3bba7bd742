// Message boxes with no owner window.
#include <windows.h>
#include "util/message.h"
#include "util/wide_win32.h"

bool QuietMessages;

int ShowMessage(const char* text, const char* caption, uint32_t style) {
  if (QuietMessages) return (style & 0x0F) == MsgYesNo ? MsgAnswerNo : IDOK;
  return MessageBoxW(nullptr, Wide(text), Wide(caption, WideSecond), style);
}

void SystemErrorText(uint32_t code, char* dest, uint32_t size) {
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                      WideResult, WideUnits, nullptr);
  DWORD end = length;
  while (end > 0 && (WideResult[end - 1] == '\r' || WideResult[end - 1] == '\n' || WideResult[end - 1] == ' ')) --end;
  ToUtf8(WideResult, int(end), dest, size);
}
