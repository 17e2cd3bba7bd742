// UTF-8 checks (see text.h).
#include "util/text.h"

static bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

bool IsValidUtf8(const uint8_t* text, uint32_t length) {
  // The least code point of each number of continuation bytes: anything less is an overlong form.
  static constexpr uint32_t Least[] = {0, 0x80, 0x800, 0x10000};
  for (uint32_t i = 0; i < length;) {
    const uint8_t lead = text[i++];
    if (lead < 0x80) continue;
    if (lead < 0xC2 || lead > 0xF4) return false;  // a continuation byte where a character starts, C0, C1, F5-FF
    const uint32_t count = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;  // continuation bytes
    if (length - i < count) return false;
    uint32_t point = lead & (0x3F >> count);  // the lead's own bits: 5, 4 or 3
    for (const uint32_t end = i + count; i < end; ++i) {
      if (!IsContinuation(text[i])) return false;
      point = (point << 6) | (text[i] & 0x3F);
    }
    // Overlong forms, surrogates, beyond U+10FFFF.
    if (point < Least[count] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return false;
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
