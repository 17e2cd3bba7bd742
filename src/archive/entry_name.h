// Entry names: what the stored bytes of a name mean, and whether a name may become a path below
// the extraction directory. Names are UTF-8 from here on.
#pragma once
#include <cstdint>

constexpr uint16_t FlagUtf8Name = 0x0800;        // general-purpose bit 11: name and comment in UTF-8
constexpr uint16_t UnicodePathExtraId = 0x7075;  // Info-ZIP Unicode Path extra field

// The room DecodeEntryName needs for the decoded name of a stored name of `length` bytes: a byte
// of the OEM code page can take three in UTF-8, and the Unicode Path field holds at most 65,535.
constexpr uint32_t DecodedNameSize(uint32_t length) { return length * 3 + 1 < 65536 ? 65536 : length * 3 + 1; }

// Decodes a stored name into UTF-8 (dest of size bytes, terminated; cut at a character boundary
// when it does not fit, and then false). Decided from the local header alone, in this order:
// flag bit 11 set and the name valid UTF-8; a Unicode Path extra field (version 1) whose CRC-32
// matches the stored name and whose text is valid UTF-8; a stored name that is valid UTF-8 (ASCII
// is); otherwise the system's OEM code page. A zero byte ends the name.
bool DecodeEntryName(const uint8_t* name, uint32_t length, uint16_t flags, const uint8_t* extra,
                     uint32_t extraLength, char* dest, uint32_t size);

// False for a name that must not become a path: one that could reach outside the directory it
// is joined to (a leading '\' or '/', a parent component such as ".." or ". ."), or a component
// Windows cannot hold as a plain file name: a device name (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, CONIN$, CONOUT$, with or without an extension), one ending in a dot or a blank
// ("." alone excepted: it names the directory it stands in), one holding a control character
// or one of < > : " | ? *.
bool IsSafeEntryName(const char* name);
