#!/usr/bin/env bash
# Package size: for each payload of bench/make_bench_corpus.sh, the bytes of `zip -9 -r`, of
# zelvix-pack's default (solid) package, of its --method lzma and deflate packages (the whole
# .exe, stub included), of 7-Zip's `7z a -t7z -mx=9` (solid) and of an NSIS installer with
# `SetCompressor /SOLID lzma` (its defaults otherwise), each with its ratio to zip -9 and to 7z.
# The goal: the default package at most 1.03 times the 7z archive, and at most the NSIS one.
#   Usage: bench/pack_sizes.sh      (builds zelvix-pack and the stub first when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
stub=$root/build/win32/zelvix.exe
pack=$root/build/native/zelvix-pack
[ -x "$pack" ] || { cmake --preset native >/dev/null && cmake --build build/native -j2 --target zelvix-pack; }
[ -f "$stub" ] || { cmake --preset win32 >/dev/null && cmake --build build/win32 -j2 --target zelvix; }
if ! command -v makensis >/dev/null; then
  echo "pack_sizes: installing Debian's nsis (makensis) for the NSIS column" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nsis >/dev/null
fi
work=$root/build/bench-pack
rm -rf "$work"
mkdir -p "$work"
mapfile -t payloads < <(bash bench/make_bench_corpus.sh)

size() { stat -c %s "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
status=0
printf '%-14s %-22s %12s %8s %8s %8s\n' payload packer bytes /zip-9 /7z seconds
for payload in "${payloads[@]}"; do
  name=$(basename "$payload")
  declare -A bytes=() took=()
  run() {  # run LABEL OUTPUT COMMAND...: times the command, notes the output's size
    local label=$1 output=$2 start=$SECONDS
    shift 2
    "$@" >/dev/null
    bytes[$label]=$(size "$output")
    took[$label]=$((SECONDS - start))
  }
  run "zip -9 -r" "$work/$name.zip" sh -c 'cd "$1" && zip -q -9 -r "$2" .' - "$payload" "$work/$name.zip"
  run "zelvix solid" "$work/$name-solid.exe" "$pack" -o "$work/$name-solid.exe" "$stub" "$payload"
  run "zelvix lzma" "$work/$name-lzma.exe" "$pack" -o "$work/$name-lzma.exe" --method lzma "$stub" "$payload"
  run "zelvix deflate" "$work/$name-deflate.exe" "$pack" -o "$work/$name-deflate.exe" --method deflate "$stub" "$payload"
  run "7z -mx=9" "$work/$name.7z" sh -c 'cd "$1" && 7z a -t7z -mx=9 "$2" . >/dev/null' - "$payload" "$work/$name.7z"
  cat > "$work/$name.nsi" <<NSI
Unicode true
SetCompressor /SOLID lzma
OutFile "$work/$name-nsis.exe"
InstallDir "\$TEMP\\$name"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /r "$payload/*"
SectionEnd
NSI
  run "NSIS /SOLID lzma" "$work/$name-nsis.exe" makensis -V1 "$work/$name.nsi"
  for label in "zip -9 -r" "zelvix solid" "zelvix lzma" "zelvix deflate" "7z -mx=9" "NSIS /SOLID lzma"; do
    printf '%-14s %-22s %12s %8s %8s %8s\n' "$name" "$label" "${bytes[$label]}" \
      "$(ratio "${bytes[$label]}" "${bytes[zip -9 -r]}")" "$(ratio "${bytes[$label]}" "${bytes[7z -mx=9]}")" "${took[$label]}"
  done
  solid=${bytes[zelvix solid]}
  if awk -v s="$solid" -v z="${bytes[7z -mx=9]}" -v n="${bytes[NSIS /SOLID lzma]}" 'BEGIN { exit !(s <= 1.03 * z && s <= n) }'; then
    echo "$name: goal met (solid package <= 1.03 x 7z and <= NSIS)"
  else
    echo "$name: goal missed (solid package > 1.03 x 7z or > NSIS)"
    status=1
  fi
  unset bytes took
done
exit $status
