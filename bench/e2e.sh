#!/usr/bin/env bash
# Extraction under Wine, end to end: a package of ZIP with a.start beside 7-Zip's 7za.exe
# (npm package 7zip-bin, 32-bit Windows binary) extracting the same ZIP, alternately, each run
# on a warm wineserver; and, in the same loop, a package of the same entries stored (the floor
# that creating and writing the files sets). Both outputs are checked against each other.
# Prints the medians, the ratio Zelvix/7za and the ratio deflated/stored, of the medians and
# of the best runs.
# With BASE_STUB=path/to/an/older/zelvix.exe, a package of that stub joins the loop, and the
# ratio of this build to it is printed too (the cost of a change, measured in one run).
#   Usage: [BASE_STUB=old.exe] bench/e2e.sh ZIP [RUNS]   (needs a built tree: tools/run-main.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
zip=$(realpath "$1")
runs=${2:-5}
work=build/bench-e2e
tools=build/bench-tools
if [ ! -f "$tools/node_modules/7zip-bin/win/ia32/7za.exe" ]; then
  mkdir -p "$tools"
  (cd "$tools" && npm install --no-audit --no-fund --silent 7zip-bin >/dev/null)
fi
rm -rf "$work" && mkdir -p "$work"
cp "$tools/node_modules/7zip-bin/win/ia32/7za.exe" "$work/7za.exe"
build/native/zelvix-pack -o "$work/package.exe" build/win32/zelvix.exe "$zip" 1000 out-zelvix >/dev/null
# The same entries, in the same order and under the same names, stored.
python3 - "$zip" "$work/stored.zip" <<'PYTHON'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as source, zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_STORED) as target:
    for info in source.infolist():
        stored = zipfile.ZipInfo(info.filename, info.date_time)
        stored.external_attr = info.external_attr
        target.writestr(stored, b"" if info.is_dir() else source.read(info))
PYTHON
build/native/zelvix-pack -o "$work/stored.exe" build/win32/zelvix.exe "$work/stored.zip" 1000 out-stored >/dev/null
if [ -n "${BASE_STUB:-}" ]; then
  build/native/zelvix-pack -o "$work/base.exe" "$BASE_STUB" "$zip" 1000 out-base >/dev/null
fi
cp "$zip" "$work/archive.zip"
run=build/win32/wine-run.sh
"$run" --start

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N); awk "BEGIN {print $t1 - $t0}"; }
zelvix_times=() sevenzip_times=() stored_times=() base_times=()
for i in $(seq "$runs"); do
  # Each output goes just before its own run: the removal of thousands of files leaves the
  # file system work to do, and the run that follows it would pay for it.
  rm -rf "$work/out-zelvix"
  zelvix_times+=("$(cd "$work" && seconds ../../"$run" package.exe)")
  if [ -n "${BASE_STUB:-}" ]; then
    rm -rf "$work/out-base"
    base_times+=("$(cd "$work" && seconds ../../"$run" base.exe)")
  fi
  rm -rf "$work/out-7za"
  sevenzip_times+=("$(cd "$work" && seconds ../../"$run" 7za.exe x -y -oout-7za archive.zip)")
  rm -rf "$work/out-stored"
  stored_times+=("$(cd "$work" && seconds ../../"$run" stored.exe)")
done
# Names that differ only in letter case share one file under Windows, and which spelling
# survives is the extractor's business: the two trees are compared by lower-cased path and content.
# Names that collide that way are left out: which entry wins is each extractor's policy.
collisions=$(realpath "$work")/collisions
unzip -Z1 "$zip" | awk '{print "./" tolower($0) " "}' | sort | uniq -d >"$collisions"
listing() { (cd "$1" && find . -type f -exec md5sum {} + | awk '{print tolower($2), $1}' | sort |
  grep -v -F -f "$collisions"); }
cmp -s <(listing "$work/out-7za") <(listing "$work/out-zelvix") || { echo "Zelvix's output differs from 7za's" >&2; exit 1; }
cmp -s <(listing "$work/out-zelvix") <(listing "$work/out-stored") || { echo "the stored package's output differs" >&2; exit 1; }
"$run" --stop

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
best() { printf '%s\n' "$@" | sort -n | head -1; }
mz=$(median "${zelvix_times[@]}")
m7=$(median "${sevenzip_times[@]}")
ms=$(median "${stored_times[@]}")
bz=$(best "${zelvix_times[@]}")
b7=$(best "${sevenzip_times[@]}")
bs=$(best "${stored_times[@]}")
printf 'archive: %s (%s bytes), %s runs each\n' "$zip" "$(stat -c %s "$zip")" "$runs"
printf 'zelvix  median %.2f s   (%s)\n' "$mz" "${zelvix_times[*]}"
printf '7za     median %.2f s   (%s)\n' "$m7" "${sevenzip_times[*]}"
printf 'stored  median %.2f s   (%s)   the same entries stored, extracted by Zelvix\n' "$ms" "${stored_times[*]}"
awk -v z="$mz" -v s="$m7" -v bz="$bz" -v bs="$b7" 'BEGIN {printf "ratio zelvix/7za: %.2f (best runs: %.2f)\n", z / s, bz / bs}'
# Wine's file creation and the dialog vary from run to run by a second or more: the best runs
# show the decoding's own cost more steadily than the medians.
awk -v z="$mz" -v s="$ms" -v bz="$bz" -v bs="$bs" 'BEGIN {printf "ratio deflated/stored: %.2f (best runs: %.2f)\n", z / s, bz / bs}'
if [ -n "${BASE_STUB:-}" ]; then
  mb=$(median "${base_times[@]}")
  bb=$(best "${base_times[@]}")
  printf 'base    median %.2f s   (%s)   %s\n' "$mb" "${base_times[*]}" "$BASE_STUB"
  awk -v z="$mz" -v s="$mb" -v bz="$bz" -v bs="$bb" 'BEGIN {printf "ratio zelvix/base: %.3f (best runs: %.3f)\n", z / s, bz / bs}'
fi
