#!/usr/bin/env bash
# A solid package beside the deflate package of the same folder, under Wine, alternately in one
# loop: extraction with a.start (the whole payload decoded once), and a listing run over each
# (zelvix_probe list: the dialog's listing without its window). Prints the medians and best
# runs of each, and the ratios solid/deflate (goals: extraction at most 1.5, listing at most 1.2).
#   Usage: bench/solid_e2e.sh FOLDER [RUNS]   (needs a built tree: tools/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$(realpath "$1")
runs=${2:-5}
work=build/bench-solid
rm -rf "$work" && mkdir -p "$work"
for method in solid deflate; do
  build/native/zelvix-pack -o "$work/$method.exe" --method "$method" build/win32/zelvix.exe "$folder" 1000 "out-$method" >/dev/null
done
cp build/win32/tests/e2e/zelvix_probe.exe "$work/probe.exe"
printf 'folder: %s; solid package %s bytes, deflate package %s bytes; %s runs each\n' "$folder" \
  "$(stat -c %s "$work/solid.exe")" "$(stat -c %s "$work/deflate.exe")" "$runs"
run=build/win32/wine-run.sh
"$run" --start

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s.%N); awk "BEGIN {print $t1 - $t0}"; }
declare -A times
for i in $(seq "$runs"); do
  for method in solid deflate; do
    rm -rf "$work/out-$method"
    times[extract-$method]+="$(cd "$work" && seconds ../../"$run" "$method.exe") "
    times[list-$method]+="$(cd "$work" && seconds ../../"$run" probe.exe list "$method.exe") "
  done
done
diff -r "$work/out-solid" "$work/out-deflate" >/dev/null || { echo "the two packages' outputs differ" >&2; exit 1; }
diff -r "$work/out-solid" "$folder" >/dev/null || { echo "the output differs from the folder" >&2; exit 1; }
"$run" --stop

median() { printf '%s\n' $1 | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
best() { printf '%s\n' $1 | sort -n | head -1; }
for what in extract list; do
  ms=$(median "${times[$what-solid]}") md=$(median "${times[$what-deflate]}")
  bs=$(best "${times[$what-solid]}") bd=$(best "${times[$what-deflate]}")
  printf '%-7s solid median %.2f s (%s)  deflate median %.2f s (%s)\n' "$what" "$ms" "${times[$what-solid]% }" \
    "$md" "${times[$what-deflate]% }"
  awk -v s="$ms" -v d="$md" -v bs="$bs" -v bd="$bd" -v w="$what" \
    'BEGIN {printf "%-7s ratio solid/deflate: %.2f (best runs: %.2f)\n", w, s / d, bs / bd}'
done
