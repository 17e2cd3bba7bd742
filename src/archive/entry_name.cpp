// Entry names (see entry_name.h).
#include "archive/entry_name.h"
#include "util/crc32.h"
#include "archive/local_header.h"
#include "util/bytes.h"
#include "util/strings.h"
#include "util/text.h"

// Copies UTF-8 text of length bytes into dest; false when it had to be cut.
static bool CopyUtf8(const uint8_t* text, uint32_t length, char* dest, uint32_t size) {
  uint32_t kept = length < size ? length : Utf8Prefix(text, size - 1);
  for (uint32_t i = 0; i < kept; ++i) dest[i] = char(text[i]);
  dest[kept] = 0;
  return kept == length;
}

static uint32_t Crc32Of(const uint8_t* bytes, uint32_t length) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint32_t i = 0; i < length; ++i) crc = CrcStep(bytes[i], crc);
  return crc ^ 0xFFFFFFFF;
}

// The length of text up to its first zero byte, if it has one.
static uint32_t UpToZero(const uint8_t* text, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i)
    if (text[i] == 0) return i;
  return length;
}

bool DecodeEntryName(const uint8_t* name, uint32_t length, uint16_t flags, const uint8_t* extra,
                     uint32_t extraLength, char* dest, uint32_t size) {
  length = UpToZero(name, length);
  const bool valid = IsValidUtf8(name, length);  // ASCII is
  if ((flags & FlagUtf8Name) == 0 || !valid) {
    uint32_t fieldSize;  // set when a field is found
    const uint8_t* field = FindExtraField(extra, extraLength, UnicodePathExtraId, fieldSize);
    // Version 1, the CRC-32 of the stored name, then the name in UTF-8.
    if (field != nullptr && fieldSize > 5 && field[0] == 1 && LoadLE32(field + 1) == Crc32Of(name, length)) {
      const uint32_t textLength = UpToZero(field + 5, fieldSize - 5);
      if (textLength > 0 && IsValidUtf8(field + 5, textLength)) return CopyUtf8(field + 5, textLength, dest, size);
    }
  }
  if (valid) return CopyUtf8(name, length, dest, size);
  return OemToUtf8(name, length, dest, size);
}

// Whether the component is a device name, with or without an extension: Windows opens the
// device for it. Its stem (before the first dot, trailing blanks dropped, as Windows drops them)
// is compared in upper case, a device number (0-9, or the superscripts ¹ ² ³ that Windows takes
// too) as '#'.
static bool IsDeviceName(const char* begin, const char* end) {
  char stem[8];
  uint32_t length = 0;
  for (const char* p = begin; p < end && *p != '.'; ++p) {
    if (length == sizeof stem - 1) return false;
    stem[length++] = char(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
  }
  while (length > 0 && stem[length - 1] == ' ') --length;
  const uint8_t last = uint8_t(stem[4]);
  if (length == 5 && uint8_t(stem[3]) == 0xC2 && (last == 0xB9 || last == 0xB2 || last == 0xB3)) stem[3] = '1', length = 4;
  if (length == 4 && stem[3] >= '0' && stem[3] <= '9') stem[3] = '#';
  stem[length] = 0;
  static const char Devices[] = "CON\0PRN\0AUX\0NUL\0COM#\0LPT#\0CONIN$\0CONOUT$\0CLOCK$\0";
  for (const char* device = Devices; *device != 0; device += ZStrLength(device) + 1)
    if (StrEqual(stem, device)) return true;
  return false;
}

// Control characters and the characters Windows reserves in names.
static bool IsForbiddenCharacter(char c) {
  if (uint8_t(c) < 0x20) return true;
  for (const char* p = "<>:\"|?*"; *p != 0; ++p)
    if (c == *p) return true;
  return false;
}

bool IsSafeEntryName(const char* name) {
  if (IsPathSeparator(name[0])) return false;
  const char* component = name;
  for (const char* p = name;; ++p) {
    if (*p != 0 && IsForbiddenCharacter(*p)) return false;
    if (*p == 0 || IsPathSeparator(*p)) {
      // An empty component (a directory entry's final separator) and "." (as in bsdtar's
      // "./dir/file") stand for the directory they are in. Any other ending in a dot or a blank
      // is refused: that covers the parent directory in all its forms ("..", ". .", ".. ").
      const bool here = p == component || (p == component + 1 && *component == '.');
      if (!here && (p[-1] == '.' || p[-1] == ' ' || IsDeviceName(component, p))) return false;
      if (*p == 0) return true;
      component = p + 1;
    }
  }
}
