// ResetExtractorState (see state.h): every module's own reset, bottom to top.
#include "app/state.h"
#include "app/cmdline.h"
#include "archive/decrypt.h"
#include "archive/extraction_run.h"
#include "archive/walk.h"
#include "inflate/huffman.h"
#include "package/options_block.h"
#include "util/message.h"

void ResetExtractorState() {
  QuietMessages = false;
  ReleaseSpareTables();
  LastSeekPos = 0;
  ResetPasswords();
  ResetRunState();
  ResetPackageOptions();
  Switches = {};
}
