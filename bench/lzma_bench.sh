#!/usr/bin/env bash
# Runs the LZMA decoder benchmark on the benchmark corpus (made by bench/make_corpus.sh into
# build/bench-corpus when it is not there; its -9 archives, whose entries lzma_bench recompresses
# with liblzma): the native build only, liblzma being the peer. Needs a built tree (tools/build.sh).
#   Usage: bench/lzma_bench.sh [ZIP...]
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=build/bench-corpus
if [ $# -eq 0 ]; then
  ls "$corpus"/*.zip >/dev/null 2>&1 || bash bench/make_corpus.sh "$corpus" >/dev/null
  set -- "$corpus"/*-9.zip
fi
echo "native (x86-64, -O2):"
build/native/bench/lzma_bench "$@"
