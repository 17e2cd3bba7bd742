// UTF-8 checks (see text.h).
#include "util/text.h"

static bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

bool IsValidUtf8(const uint8_t* text, uint32_t length) {
  for (uint32_t i = 0; i < length;) {
    const uint8_t lead = text[i];
    uint32_t count;  // continuation bytes
    uint32_t point;
    if (lead < 0x80) { ++i; continue; }
    if (lead >= 0xC2 && lead <= 0xDF) count = 1, point = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) count = 2, point = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) count = 3, point = lead & 0x07;
    else return false;  // a continuation byte where a character starts, C0, C1, F5-FF
    if (length - i <= count) return false;
    for (uint32_t k = 1; k <= count; ++k) {
      if (!IsContinuation(text[i + k])) return false;
      point = (point << 6) | (text[i + k] & 0x3F);
    }
    // Overlong three- and four-byte forms, surrogates, beyond U+10FFFF.
    if ((count == 2 && point < 0x800) || (point >= 0xD800 && point <= 0xDFFF) || (count == 3 && point < 0x10000) ||
        point > 0x10FFFF)
      return false;
    i += count + 1;
  }
  return true;
}

uint32_t Utf16Length(const char* text) {
  uint32_t units = 0;
  for (; *text != 0; ++text) units += !IsContinuation(uint8_t(*text)) + (uint8_t(*text) >= 0xF0);
  return units;
}

uint32_t Utf8Prefix(const uint8_t* text, uint32_t limit) {
  while (limit > 0 && IsContinuation(text[limit])) --limit;
  return limit;
}
