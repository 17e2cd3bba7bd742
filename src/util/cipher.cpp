// Traditional ZIP key stream (see cipher.h).
#include "util/cipher.h"
#include "util/crc32.h"

void UpdateKeys(CipherKeys& keys, uint8_t p) {
  keys.Key0 = CrcStep(p, keys.Key0);
  keys.Key1 = (keys.Key1 + (keys.Key0 & 0xFF)) * 0x08088405u + 1;
  keys.Key2 = CrcStep(uint8_t(keys.Key1 >> 24), keys.Key2);
}

void InitKeys(CipherKeys& keys, const char* password) {
  keys.Key0 = 0x12345678;
  keys.Key1 = 0x23456789;
  keys.Key2 = 0x34567890;
  for (; *password != '\0'; ++password) UpdateKeys(keys, uint8_t(*password));
}

void DecryptBuffer(CipherKeys& keys, uint8_t* data, int32_t count) {
  // Keys in locals for the loop: a chunk of 32 KB is deciphered at a time.
  uint32_t k0 = keys.Key0, k1 = keys.Key1, k2 = keys.Key2;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t t = (k2 & 0xFFFF) | 2;
    const uint8_t p = uint8_t(data[i] ^ uint8_t((t * (t ^ 1)) >> 8));
    data[i] = p;
    k0 = CrcSlices[0][(k0 ^ p) & 0xFF] ^ (k0 >> 8);
    k1 = (k1 + (k0 & 0xFF)) * 0x08088405u + 1;
    k2 = CrcSlices[0][(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
  }
  keys.Key0 = k0;
  keys.Key1 = k1;
  keys.Key2 = k2;
}
