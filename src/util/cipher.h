// The key stream of traditional PKWARE (ZIP 2.0) encryption: three 32-bit keys stepped by every
// plain byte. The input of an encrypted entry deciphers its chunks with it; the password test
// of an entry's encryption header (archive/decrypt.h) sets it up.
#pragma once
#include <cstdint>

struct CipherKeys {
  uint32_t Key0, Key1, Key2;
};

// Advances the keys by one plain byte p:
//   Key0 := CrcStep(p, Key0); Key1 := (Key1 + (Key0 & 0xFF)) * 0x08088405 + 1;
//   Key2 := CrcStep(Key1 >> 24, Key2).
void UpdateKeys(CipherKeys& keys, uint8_t p);

// Sets the keys to 0x12345678, 0x23456789, 0x34567890 and feeds the zero-terminated password
// through UpdateKeys, character codes taken as unsigned bytes.
void InitKeys(CipherKeys& keys, const char* password);

// The next key-stream byte; the keys are not changed. t = (Key2 & 0xFFFF) | 2: (t*(t^1)) >> 8.
inline uint8_t DecryptByte(const CipherKeys& keys) {
  // The product of t and t ^ 1 fits 32 bits: t is below 0x10000.
  const uint32_t t = (keys.Key2 & 0xFFFF) | 2;
  return uint8_t((t * (t ^ 1)) >> 8);
}

// Deciphers count bytes in place, first to last: p = byte ^ DecryptByte(), then UpdateKeys(p).
// The keys run on from call to call, so an entry read in chunks deciphers as one stream.
// count <= 0 does nothing. Needs the CRC-32 tables.
void DecryptBuffer(CipherKeys& keys, uint8_t* data, int32_t count);
