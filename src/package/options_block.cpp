// Options block compose and read (see options_block.h).
#include "package/options_block.h"
#include <cstring>
#include "util/strings.h"

bool OptAutoStart;
bool OptAutoClose;
bool OptRunSetup;
bool OptTempDir;
char OptExtractPath[OptExtractPathSize];

void ResetPackageOptions() {
  OptAutoStart = OptAutoClose = OptRunSetup = OptTempDir = false;
  OptExtractPath[0] = 0;
}

bool ComposeOptionsBlock(const char* options, const char* extPath, uint8_t* block) {
  const uint32_t length = ZStrLength(extPath);
  if (length > MaxExtPathLength) return false;
  for (uint32_t i = 0; i < OptionsBlockSize; ++i) block[i] = 0;
  // Missing flag characters stay '0'; characters past the fourth are dropped.
  std::memcpy(block, "OPTIONS=0000 ", ExtPathOffset);
  for (uint32_t i = 8; i < 12 && *options != 0; ++i) block[i] = uint8_t(*options++);
  std::memcpy(block + ExtPathOffset, extPath, length);
  return true;
}

void ReadOptionsBlock(const uint8_t* block) {
  OptAutoStart = block[8] == '1';
  OptAutoClose = block[9] == '1';
  OptRunSetup = block[10] == '1';
  OptTempDir = block[11] == '1';
  uint32_t length = ZStrLength(OptExtractPath);
  for (uint32_t i = ExtPathOffset; i < ExtPathReadEnd && block[i] != 0; ++i) {
    if (length + 1 >= OptExtractPathSize) break;
    OptExtractPath[length++] = char(block[i]);
  }
  OptExtractPath[length] = 0;
}
