// Traditional PKWARE (ZIP 2.0) decryption: the three keys in CryptKeys, the key-stream byte and
// the test of an entry's 12-byte encryption header. The data readers (input buffer of the
// inflater, stored-entry copy) decipher with DecryptBuffer; the extraction run tests passwords.
#pragma once
#include <cstdint>

constexpr uint32_t EncryptionHeaderSize = 12;

// Advances CryptKeys by one plain byte p:
//   Key0 := CrcStep(p, Key0); Key1 := (Key1 + (Key0 & 0xFF)) * 0x08088405 + 1;
//   Key2 := CrcStep(Key1 >> 24, Key2).
void UpdateKeys(uint8_t p);

// Sets the keys to 0x12345678, 0x23456789, 0x34567890 and feeds the zero-terminated password
// through UpdateKeys, character codes taken as unsigned bytes.
void InitKeys(const char* password);

// The next key-stream byte; the keys are not changed. t = (Key2 & 0xFFFF) | 2: (t*(t^1)) >> 8.
uint8_t DecryptByte();

// Deciphers count bytes in place, first to last: p = byte ^ DecryptByte(), then UpdateKeys(p).
// The key state runs on from call to call, so an entry read in chunks deciphers as one stream.
// count <= 0 does nothing.
void DecryptBuffer(uint8_t* data, int32_t count);

// Tests a password on an encryption header. buffer holds 2*n bytes: the header as stored in
// bytes n..2n-1, which stay untouched so that another password can be tried; the deciphered
// header lands in bytes 0..n-1. Returns false at once for an empty password (keys unchanged).
// Otherwise the keys are initialised from the password and stepped over the n header bytes, and
// the last deciphered byte is compared with the check byte: the high byte of timeDate's low
// half (the modification time) when flags has bit 3 (data descriptor) set, else crc >> 24.
// After true the keys stand ready for the first data byte.
bool DecryptHeader(uint8_t* buffer, uint32_t n, uint16_t flags, uint32_t crc, uint32_t timeDate,
                   const char* password);
