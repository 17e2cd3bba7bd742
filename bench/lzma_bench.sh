#!/usr/bin/env bash
# Runs the LZMA decoder benchmark on the benchmark corpus (made by bench/make_corpus.sh into
# build/bench-corpus when it is not there): natively, lzma_bench beside liblzma's raw decoder
# (on the -9 archives, whose entries it recompresses with liblzma); then the stub's decoder, as
# the stub compiles it, under Wine, and the native decoder on the same input (each class of the
# corpus as 7-Zip's `7z a -tzip -mm=LZMA`: no liblzma for mingw-w64 here). Needs a built tree
# (tools/build.sh).
#   Usage: bench/lzma_bench.sh [ZIP...]
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=build/bench-corpus
if [ $# -eq 0 ]; then
  ls "$corpus"/*.zip >/dev/null 2>&1 || bash bench/make_corpus.sh "$corpus" >/dev/null
  set -- "$corpus"/*-9.zip
fi
echo "native (x86-64, -O2), beside liblzma:"
build/native/bench/lzma_bench "$@"

lzma_zips=()
for class in "$corpus"/files/*/; do
  zip=$(realpath -m "$corpus/$(basename "$class")-lzma.zip")
  [ -f "$zip" ] || (cd "$class" && 7z a -tzip -mm=LZMA "$zip" . >/dev/null)
  lzma_zips+=("$zip")
done
echo "native (x86-64, -O2), 7-Zip's LZMA entries:"
build/native/bench/inflate_bench --lzma "${lzma_zips[@]}"
echo "win32 (i686, the stub's flags, under Wine), the same entries:"
files=()
for f in "${lzma_zips[@]}"; do files+=("Z:$(realpath "$f" | tr / '\\\\')"); done
build/win32/wine-run.sh build/win32/bench/inflate_bench.exe --lzma "${files[@]}"
