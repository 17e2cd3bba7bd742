// Options block compose and read (see options_block.h).
#include "package/options_block.h"
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
  if (ZStrLength(extPath) > MaxExtPathLength) return false;
  for (uint32_t i = 0; i < OptionsBlockSize; ++i) block[i] = 0;
  const char prefix[] = "OPTIONS=";
  uint32_t at = 0;
  for (; prefix[at] != 0; ++at) block[at] = uint8_t(prefix[at]);
  // Missing flag characters are '0'; characters past the fourth are dropped.
  bool ended = false;
  for (uint32_t i = 0; i < 4; ++i) {
    if (!ended && options[i] == 0) ended = true;
    block[at++] = uint8_t(ended ? '0' : options[i]);
  }
  block[at++] = ' ';
  for (uint32_t i = 0; extPath[i] != 0; ++i) block[at++] = uint8_t(extPath[i]);
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
