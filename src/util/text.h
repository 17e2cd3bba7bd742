// Text inside the program is UTF-8. These routines check it and bring text of the system's OEM
// code page into it.
#pragma once
#include <cstdint>

// Whether the bytes are well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogate code points (U+D800-U+DFFF), nothing above U+10FFFF.
bool IsValidUtf8(const uint8_t* text, uint32_t length);

// The longest prefix of at most limit bytes that does not end inside a UTF-8 sequence;
// text[limit] must exist.
uint32_t Utf8Prefix(const uint8_t* text, uint32_t limit);

// The number of UTF-16 units the UTF-8 text takes: one per character, two above U+FFFF.
uint32_t Utf16Length(const char* text);

// Converts length bytes of the system's OEM code page (code page 437 outside Windows) into UTF-8
// in dest (size bytes, terminated). False when it had to be cut or cannot be converted.
bool OemToUtf8(const uint8_t* text, uint32_t length, char* dest, uint32_t size);
