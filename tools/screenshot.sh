#!/usr/bin/env bash
# Takes docs/main-dialog.png: the demo package's main dialog on the build's Xvfb display.
# Needs a built tree (tools/run-main.sh) and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v import >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq imagemagick >/dev/null
shots=build/screenshot
rm -rf "$shots" && mkdir -p "$shots"
build/native/zelvix-pack -o "$shots/demo.exe" build/win32/zelvix.exe samples/demo.zip 0000 'C:\Demo'
eval "$(build/win32/wine-run.sh --env)"
(cd "$shots" && ../win32/wine-run.sh demo.exe) &
runner=$!
geometry=""
for _ in $(seq 100); do
  geometry=$(xwininfo -root -tree -display "$DISPLAY" | awk '/"Zelvix ZIP Extractor"/ {print $(NF-1); exit}')
  [ -n "$geometry" ] && break
  sleep 0.2
done
[ -n "$geometry" ] || { echo "no dialog appeared" >&2; kill "$runner"; exit 1; }
sleep 1
import -display "$DISPLAY" -window root -crop "$geometry" +repage docs/main-dialog.png
build/win32/wine-run.sh --stop
wait "$runner" || true
echo "docs/main-dialog.png ($geometry)"
