// The Windows boundary of the program's text: UTF-8 inside, UTF-16 for the wide ("W") calls of
// the system. Windows only.
#pragma once
#include <windows.h>
#include <cstdint>

// Room of each UTF-16 buffer below: the longest path the system takes, a "\\?\UNC" in front of
// it and the terminating zero.
constexpr uint32_t WideUnits = 32768 + 8;

// A UTF-16 copy of UTF-8 text for one call of the system, in a static buffer per slot that the
// next conversion into that slot overwrites: a call that takes two texts takes them from two
// slots. Text that does not fit comes out empty.
enum WideSlot { WideFirst, WideSecond };
WCHAR* Wide(const char* text, WideSlot slot = WideFirst);

// A path for the file and directory calls, in a buffer of its own per slot: '/' becomes '\', a separator
// that follows another and a "." component are dropped, and an absolute path ("C:\..." or
// "\\server\share\...") gets the "\\?\" form, in which the system takes paths of any length (up
// to 32,767 units) as they are. Such paths must already be free of ".." components (extraction
// directories are made absolute, entry names with them refused).
WCHAR* WidePath(const char* path, WideSlot slot = WideFirst);

// Where the wide calls that return text put it, for ToUtf8 to convert at once.
extern WCHAR WideResult[WideUnits];

// The UTF-8 form of UTF-16 text (length units, or -1 up to its zero) in dest (size bytes,
// terminated); "" when it does not fit.
void ToUtf8(const WCHAR* text, int length, char* dest, uint32_t size);

// Converts UTF-8 text into the ANSI code page (dest of size bytes, terminated); characters that
// code page lacks become its default character.
void ToAnsi(const char* text, char* dest, uint32_t size);
