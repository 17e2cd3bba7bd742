// Fuzz target over whole packages (or bare archives): the entry walk over every entry, each one
// extracted to memory as the extraction run does it (password "secret" for encrypted entries:
// the one of the seed archives), its name decoded and judged; a solid package's entries through
// its payload. Properties: walk and decoders end
// (libFuzzer's timeout), stay inside their buffers (the sanitizers), every decoded name is
// valid UTF-8, no entry writes more than its declared uncompressed size, and an entry that passes
// its check really has the CRC-32 its header or descriptor states: the bytes written hash to it.
#include <zlib.h>
#include <cstdio>
#include <cstdlib>
#include <new>
#include "archive/entry_name.h"
#include "archive/extraction_run.h"
#include "archive/local_header.h"
#include "archive/solid.h"
#include "archive/walk.h"
#include "fuzz_io.h"
#include "package/locator.h"
#include "util/memory.h"
#include "util/strings.h"
#include "util/text.h"

namespace {

TypedPassword TypeThePassword() {
  TypedPassword typed{};
  StrCopy(typed.ansi, "secret", PasswordSize);
  return typed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int package = fuzz::MemoryFile("package"), output = fuzz::MemoryFile("entry");
  fuzz::EnsureTables();
  // A window an archive asks for beyond this is refused as a heap without such a block refuses
  // it (the entry fails): the fuzzer itself stops at 2 GB.
  MemTryAllocLimit = 256u << 20;
  fuzz::SetFile(package, data, size);
  Password[0] = PasswordUtf8[0] = 0;
  // A package's archive follows its options block; a bare archive starts at 0 (offset 0 too).
  const int32_t offset = FindArchiveOffset(package, 0);
  EntryWalk walk;
  if (!StartWalk(walk, package, offset)) abort();
  walk.entersIndex = true;
  alignas(SolidPayload) static uint8_t payloadBlock[sizeof(SolidPayload)];
  SolidPayload* payload = nullptr;
  static std::vector<char> name(DecodedNameSize(0xFFFF));
  while (NextEntry(walk)) {
    const LocalFileHeader& header = walk.header;
    DecodeEntryName(walk.name, header.NameLength, header.Flags, walk.extra, header.ExtraLength,
                    name.data(), uint32_t(name.size()));
    if (!IsValidUtf8(reinterpret_cast<const uint8_t*>(name.data()), ZStrLength(name.data()))) {
      std::fprintf(stderr, "a decoded name is not UTF-8\n");
      abort();
    }
    IsSafeEntryName(name.data());
    if (!walk.endKnown) continue;  // never extracted; the walk ends after it
    const bool solid = InIndex(walk);
    if (solid && payload == nullptr) payload = new (payloadBlock) SolidPayload(package, walk.payload, walk.payloadPos);
    if (solid && !ReachEntry(*payload, walk)) continue;
    SeekArchive(package, walk.dataPos);
    const bool encrypted = (header.Flags & FlagEncrypted) != 0;
    if (solid && encrypted) continue;
    CipherKeys keys;
    if (encrypted && SettlePassword(package, header, TypeThePassword, keys) != PasswordResult::Open) continue;
    fuzz::SetFile(output, nullptr, 0);
    bool good;
    {
      EntryInput in(package, EntryDataSize(header), encrypted ? &keys : nullptr);
      if (solid) in.source = payload;
      EntryOutput out(output);
      out.declaredSize = header.UncompressedSize;
      good = DecodeEntry(header, in, out);
    }
    const std::vector<uint8_t> written = fuzz::FileBytes(output);
    if (written.size() > header.UncompressedSize) {
      std::fprintf(stderr, "an entry wrote more bytes than its declared size\n");
      abort();
    }
    if (!good) continue;
    if (uint32_t(crc32(0, written.data(), uInt(written.size()))) != header.Crc32) {
      std::fprintf(stderr, "an entry passed its check with bytes of another CRC-32\n");
      abort();
    }
  }
  if (payload != nullptr) payload->~SolidPayload();
  return 0;
}
