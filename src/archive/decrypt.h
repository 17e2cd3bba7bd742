// Traditional PKWARE (ZIP 2.0) encryption on the archive's side: the passwords the run tries and
// the test of an entry's 12-byte encryption header, which leaves the key stream (util/cipher.h)
// ready for the entry's input to decipher its data.
#pragma once
#include <cstdint>
#include "util/cipher.h"

constexpr uint32_t EncryptionHeaderSize = 12;
constexpr uint32_t PasswordSize = 128;  // a password: typed, or a longer one given with -p

// The password tried first for every encrypted entry: -p's, then the last one typed. Password's
// bytes are in the ANSI code page, as Windows archivers encrypt with them; PasswordUtf8 is the
// same password as typed, in UTF-8, tried second within the same attempt ("" when none).
extern char Password[PasswordSize];
extern char PasswordUtf8[PasswordSize];
void ResetPasswords();

// Tests a password on an encryption header. buffer holds 2*n bytes: the header as stored in
// bytes n..2n-1, which stay untouched so that another password can be tried; the deciphered
// header lands in bytes 0..n-1. Returns false at once for an empty password (keys unchanged).
// Otherwise the keys are initialised from the password and stepped over the n header bytes, and
// the last deciphered byte is compared with the check byte: the high byte of timeDate's low
// half (the modification time) when flags has bit 3 (data descriptor) set, else crc >> 24.
// After true the keys stand ready for the first data byte.
bool DecryptHeader(CipherKeys& keys, uint8_t* buffer, uint32_t n, uint16_t flags, uint32_t crc, uint32_t timeDate,
                   const char* password);
