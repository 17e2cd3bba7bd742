// The package layout: stub (a multiple of 256 bytes), a 256-byte options block, the ZIP file.
// Composing the block (the builders) and reading it back (the locator) are defined here.
#pragma once
#include <cstdint>

constexpr uint32_t OptionsBlockSize = 256;
constexpr uint32_t PackageAlignment = 256;
// "OPTIONS=" + 4 flags + a blank take 13 bytes; the extract path may fill the rest of the block.
constexpr uint32_t ExtPathOffset = 13;
constexpr uint32_t MaxExtPathLength = OptionsBlockSize - ExtPathOffset;  // 243
// The reader takes the path back only from offsets 13 to 253 (241 characters).
constexpr uint32_t ExtPathReadEnd = 254;
// The longest extract path a package reads back whole: what zelvix-pack takes.
constexpr uint32_t ExtPathReadLength = ExtPathReadEnd - ExtPathOffset;  // 241

constexpr uint32_t OptExtractPathSize = 242;    // the options block yields at most 241 characters

// The options of this package, read from its options block at start-up.
extern bool OptAutoStart;   // a.start: extract at once and close
extern bool OptAutoClose;   // a.close: close after Extract
extern bool OptRunSetup;    // r.setup: start setup.exe after a sound extraction
extern bool OptTempDir;     // t.dir: propose a new private folder in the temporary directory
extern char OptExtractPath[OptExtractPathSize];
void ResetPackageOptions();

// Composes "OPTIONS=" + the first four characters of options padded with '0' + " " + extPath
// into a zero-filled block. The flag characters are copied unchecked.
// False, block untouched, when extPath is longer than MaxExtPathLength.
bool ComposeOptionsBlock(const char* options, const char* extPath, uint8_t* block);

// Sets OptAutoStart, OptAutoClose, OptRunSetup and OptTempDir from offsets 8 to 11 (on only for
// the character '1') and appends the path bytes of offsets 13..253, up to the first zero, to OptExtractPath.
void ReadOptionsBlock(const uint8_t* block);
