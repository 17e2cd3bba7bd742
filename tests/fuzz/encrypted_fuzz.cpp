// Fuzz target: the encrypted path. Input: one byte of choices (bits 0-2 password length, bit 3
// data-descriptor flag, bit 4 deflated), the password, CRC-32 (4 bytes), modification time
// (2 bytes), the 12-byte encryption header, then the entry's data. The header is tested, and the
// data are decoded from the keys the test leaves, whatever its verdict. Property: decoding the
// enciphered data equals decoding the same data deciphered in one piece beforehand.
#include <cstdio>
#include <cstring>
#include "archive/decrypt.h"
#include "archive/local_header.h"
#include "fuzz_io.h"
#include "inflate/inflate.h"
#include "codec/stored_copy.h"

namespace {

std::vector<uint8_t> Decode(int input, int output, const uint8_t* data, size_t size, const CipherKeys* keys,
                            bool deflated, uint32_t& crc) {
  fuzz::SetFile(input, data, size);
  fuzz::SetFile(output, nullptr, 0);
  {
    EntryInput in(input, int32_t(size), keys);
    EntryOutput out(output);
    if (deflated) Inflate(in, out);
    else CopyStored(in, out);
    crc = out.crc;
  }
  return fuzz::FileBytes(output);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int input = fuzz::MemoryFile("crypt-in"), output = fuzz::MemoryFile("crypt-out");
  fuzz::EnsureTables();
  if (size < 1) return 0;
  const uint8_t choices = data[0];
  const size_t passwordLength = choices & 7;
  if (size < 1 + passwordLength + 6 + 12) return 0;
  char password[8] = {};
  for (size_t i = 0; i < passwordLength; ++i) password[i] = data[1 + i] ? char(data[1 + i]) : 'a';
  const uint8_t* p = data + 1 + passwordLength;
  const uint32_t crc = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  const uint32_t timeDate = uint32_t(p[4]) | uint32_t(p[5]) << 8;
  const uint16_t flags = uint16_t(FlagEncrypted | ((choices & 8) ? FlagDataDescriptor : 0));
  const bool deflated = (choices & 16) != 0;
  uint8_t header[24];
  memcpy(header + 12, p + 6, 12);
  CipherKeys keys;
  const bool passed = DecryptHeader(keys, header, 12, flags, crc, timeDate, password);
  if (passwordLength == 0 && passed) abort();  // an empty password never opens an entry
  if (memcmp(header + 12, p + 6, 12) != 0) abort();  // the stored copy stays for re-tries
  if (passwordLength == 0) InitKeys(keys, "");

  const uint8_t* body = p + 18;
  const size_t bodySize = size - size_t(body - data);
  CipherKeys plainKeys = keys;
  std::vector<uint8_t> plain(body, body + bodySize);
  DecryptBuffer(plainKeys, plain.data(), int32_t(plain.size()));
  uint32_t cipherCrc, plainCrc;
  const std::vector<uint8_t> viaCipher = Decode(input, output, body, bodySize, &keys, deflated, cipherCrc);
  const std::vector<uint8_t> viaPlain = Decode(input, output, plain.data(), plain.size(), nullptr, deflated, plainCrc);
  if (viaCipher != viaPlain || cipherCrc != plainCrc) {
    std::fprintf(stderr, "enciphered and plain decoding differ\n");
    abort();
  }
  if (!deflated && viaPlain != plain) abort();
  return 0;
}
