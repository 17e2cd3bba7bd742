#!/usr/bin/env bash
# Runs the decoder benchmark on the benchmark corpus (made by bench/make_corpus.sh into
# build/bench-corpus when it is not there): the native build, the Windows build under Wine
# (the decoder as the stub compiles it), or both. Needs a built tree (tools/build.sh).
#   Usage: bench/inflate_bench.sh [native|win32|both] [ZIP...]
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-both}
shift || true
corpus=build/bench-corpus
if [ $# -eq 0 ]; then
  ls "$corpus"/*.zip >/dev/null 2>&1 || bash bench/make_corpus.sh "$corpus" >/dev/null
  set -- "$corpus"/*.zip
fi
if [ "$which" = native ] || [ "$which" = both ]; then
  echo "native (x86-64, -O2):"
  build/native/bench/inflate_bench "$@"
fi
if [ "$which" = win32 ] || [ "$which" = both ]; then
  echo "win32 (i686, the stub's flags, under Wine):"
  files=()
  for f in "$@"; do files+=("Z:$(realpath "$f" | tr / '\\\\')"); done
  build/win32/wine-run.sh build/win32/bench/inflate_bench.exe "${files[@]}"
fi
