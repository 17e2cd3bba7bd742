// Encryption headers and passwords (see decrypt.h).
#include "archive/decrypt.h"
#include "archive/local_header.h"

char Password[PasswordSize];
char PasswordUtf8[PasswordSize];

void ResetPasswords() { Password[0] = PasswordUtf8[0] = 0; }

bool DecryptHeader(CipherKeys& keys, uint8_t* buffer, uint32_t n, uint16_t flags, uint32_t crc, uint32_t timeDate,
                   const char* password) {
  if (password[0] == '\0' || n == 0) return false;
  InitKeys(keys, password);
  // Always from the stored copy in the second half: earlier attempts changed only the first.
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t p = uint8_t(DecryptByte(keys) ^ buffer[n + i]);
    UpdateKeys(keys, p);
    buffer[i] = p;
  }
  const uint8_t check = buffer[n - 1];
  // With a data descriptor (bit 3) the CRC was not known when the header was written, so the
  // writer used the high byte of the modification time instead.
  if (flags & FlagDataDescriptor) return check == uint8_t(timeDate >> 8);
  return check == uint8_t(crc >> 24);
}
