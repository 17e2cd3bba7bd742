// The progress line of long runs: one line on stderr, rewritten in place ("\r"), only when
// stderr is a terminal; pipes and CI logs get nothing. Used by folder_pack.cpp.
#pragma once
#include <cstdint>

struct Progress {
  bool shown = false;      // stderr is a terminal
  const char* what = "";   // "compressing", ...
  uint64_t total = 0, done = 0;
  int64_t lastShownMs = 0;
  bool drawn = false;
};

void StartProgress(Progress& p, const char* what, uint64_t total);
// done += count; the line is redrawn at most five times a second.
void AdvanceProgress(Progress& p, uint64_t count);
// Clears the line.
void EndProgress(Progress& p);
