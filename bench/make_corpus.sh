#!/usr/bin/env bash
# Makes the deterministic benchmark corpus for inflate_bench from files of installed Debian
# packages: four classes of data (text and source, executables, incompressible, repetitive),
# 110 MB or more in all, each zipped with Info-ZIP `zip -6` and `zip -9`.
# Usage: bench/make_corpus.sh OUTDIR     (then: inflate_bench OUTDIR/*.zip)
set -euo pipefail
out=${1:?usage: make_corpus.sh OUTDIR}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work="$out/files"
rm -rf "$work"
mkdir -p "$work"

# Copies regular files from the lists on stdin, in sorted order, until `limit` bytes.
take() {
  local class=$1 limit=$2 total=0 n=0 size
  mkdir -p "$work/$class"
  while IFS= read -r f; do
    [ -f "$f" ] && [ -r "$f" ] && [ ! -L "$f" ] || continue
    size=$(stat -c %s "$f")
    [ "$size" -gt 0 ] && [ "$size" -lt 20000000 ] || continue
    cp "$f" "$work/$class/$(printf '%05d' $n)_$(basename "$f")"
    n=$((n + 1))
    total=$((total + size))
    [ "$total" -lt "$limit" ] || break
  done
  echo "$class: $n files, $total bytes"
}

find /usr/include /usr/share/doc /usr/src /usr/share/perl /usr/lib/python3* -type f \
    \( -name '*.h' -o -name '*.c' -o -name '*.cc' -o -name '*.py' -o -name '*.pm' -o -name '*.txt' \
       -o -name 'copyright' -o -name '*.html' \) 2>/dev/null | LC_ALL=C sort | take text 40000000 || true  # find and sort may end on SIGPIPE
find /usr/bin /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f \( -perm -u+x -o -name '*.so*' \) 2>/dev/null \
    | LC_ALL=C sort | take executables 40000000 || true
find /usr/share/doc /usr/share/man /usr/share/icons /usr/share/fonts -type f \
    \( -name '*.gz' -o -name '*.png' -o -name '*.woff2' -o -name '*.xz' \) 2>/dev/null \
    | LC_ALL=C sort | take incompressible 15000000 || true
# Highly repetitive: package text files repeated many times over, and long runs of few bytes.
mkdir -p "$work/repetitive"
for f in /usr/share/common-licenses/GPL-3 /usr/share/common-licenses/Apache-2.0; do
  for i in $(seq 1 180); do cat "$f"; done > "$work/repetitive/$(basename "$f").x180"
done
head -c 4000000 /dev/zero > "$work/repetitive/zeros"
od -An -v -tx1 /usr/share/common-licenses/GPL-3 | tr -d ' \n' | head -c 6000000 \
  > "$work/repetitive/hexdump"
echo "repetitive: $(du -sb "$work/repetitive" | cut -f1) bytes"

# Fixed time stamps and order, no extra fields: the same zip files on every machine with the
# same packages installed.
find "$work" -exec touch -h -d '2020-01-01 00:00:00' {} +
for class in text executables incompressible repetitive; do
  for level in 6 9; do
    rm -f "$out/$class-$level.zip"
    (cd "$work/$class" && find . -type f | LC_ALL=C sort | zip -q -X -D "-$level" "$out/$class-$level.zip" -@)
  done
done
ls -l "$out"/*.zip
