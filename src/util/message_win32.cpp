// Message boxes with no owner window.
#include <windows.h>
#include "util/message.h"

int ShowMessage(const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(nullptr, text, caption, style);
}
