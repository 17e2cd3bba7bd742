// The progress line (see progress.h).
#include "pack/progress.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace {

int64_t NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void Draw(Progress& p) {
  const unsigned percent = p.total == 0 ? 100 : unsigned(p.done * 100 / p.total);
  std::fprintf(stderr, "\rzelvix-pack: %s %3u%% (%" PRIu64 " of %" PRIu64 " MB) ", p.what, percent,
               p.done >> 20, p.total >> 20);
  std::fflush(stderr);
  p.drawn = true;
}

}  // namespace

void StartProgress(Progress& p, const char* what, uint64_t total) {
  p.shown = isatty(STDERR_FILENO) == 1;
  p.what = what;
  p.total = total;
  p.done = 0;
  p.lastShownMs = NowMs();
}

void AdvanceProgress(Progress& p, uint64_t count) {
  p.done += count;
  if (!p.shown) return;
  const int64_t now = NowMs();
  if (now - p.lastShownMs < 200) return;
  p.lastShownMs = now;
  Draw(p);
}

void EndProgress(Progress& p) {
  if (p.drawn) std::fprintf(stderr, "\r%72s\r", "");
  p.drawn = false;
}
