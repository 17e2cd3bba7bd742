// Traditional ZIP decryption (see decrypt.h). The keys live in CryptKeys (app/state.h).
#include "archive/decrypt.h"
#include "app/state.h"
#include "archive/crc32.h"
#include "archive/local_header.h"

void UpdateKeys(uint8_t p) {
  CryptKeys.Key0 = CrcStep(p, CryptKeys.Key0);
  CryptKeys.Key1 = (CryptKeys.Key1 + (CryptKeys.Key0 & 0xFF)) * 0x08088405u + 1;
  CryptKeys.Key2 = CrcStep(uint8_t(CryptKeys.Key1 >> 24), CryptKeys.Key2);
}

void InitKeys(const char* password) {
  CryptKeys.Key0 = 0x12345678;
  CryptKeys.Key1 = 0x23456789;
  CryptKeys.Key2 = 0x34567890;
  for (; *password != '\0'; ++password) UpdateKeys(uint8_t(*password));
}

uint8_t DecryptByte() {
  // The product of t and t ^ 1 fits 32 bits: t is below 0x10000.
  const uint32_t t = (CryptKeys.Key2 & 0xFFFF) | 2;
  return uint8_t((t * (t ^ 1)) >> 8);
}

void DecryptBuffer(uint8_t* data, int32_t count) {
  // Keys in locals for the loop: a chunk of 32 KB is deciphered at a time.
  uint32_t k0 = CryptKeys.Key0, k1 = CryptKeys.Key1, k2 = CryptKeys.Key2;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t t = (k2 & 0xFFFF) | 2;
    const uint8_t p = uint8_t(data[i] ^ uint8_t((t * (t ^ 1)) >> 8));
    data[i] = p;
    k0 = CrcTable[(k0 ^ p) & 0xFF] ^ (k0 >> 8);
    k1 = (k1 + (k0 & 0xFF)) * 0x08088405u + 1;
    k2 = CrcTable[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
  }
  CryptKeys.Key0 = k0;
  CryptKeys.Key1 = k1;
  CryptKeys.Key2 = k2;
}

bool DecryptHeader(uint8_t* buffer, uint32_t n, uint16_t flags, uint32_t crc, uint32_t timeDate,
                   const char* password) {
  if (password[0] == '\0' || n == 0) return false;
  InitKeys(password);
  // Always from the stored copy in the second half: earlier attempts changed only the first.
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t p = uint8_t(DecryptByte() ^ buffer[n + i]);
    UpdateKeys(p);
    buffer[i] = p;
  }
  const uint8_t check = buffer[n - 1];
  // With a data descriptor (bit 3) the CRC was not known when the header was written, so the
  // writer used the high byte of the modification time instead.
  if (flags & FlagDataDescriptor) return check == uint8_t(timeDate >> 8);
  return check == uint8_t(crc >> 24);
}
