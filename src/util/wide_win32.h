// The Windows boundary of the program's text: UTF-8 inside, UTF-16 for the wide ("W") calls of
// the system. Windows only.
#pragma once
#include <windows.h>
#include <cstdint>

// A UTF-16 copy of UTF-8 text for one call of the system; the copy lives as long as the object.
// For a path, '/' becomes '\', a separator that follows another is dropped, and an absolute
// path ("C:\..." or "\\server\share\...") gets the "\\?\" form, in which the system takes
// paths of any length (up to 32,767 units) as they are: made absolute and free of "." and ".."
// components beforehand (the entry names' checks see to that).
class WideText {
public:
  explicit WideText(const char* text, bool path = false);
  ~WideText();
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;
  operator const WCHAR*() const { return text_; }
  WCHAR* get() const { return text_; }
private:
  WCHAR* text_;
};

// Converts UTF-8 text into the ANSI code page (dest of size bytes, terminated); characters that
// code page lacks become its default character.
void ToAnsi(const char* text, char* dest, uint32_t size);

// The UTF-8 form of UTF-16 text (length units, or -1 up to its zero) in dest (size bytes,
// terminated); "" when it does not fit.
void ToUtf8(const WCHAR* text, int length, char* dest, uint32_t size);
