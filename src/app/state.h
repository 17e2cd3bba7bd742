// Program-wide state lives with the module that owns it (ARCHITECTURE.md lists where); this is
// the one call that puts all of it back to its start, for the tests between cases.
#pragma once

void ResetExtractorState();
