#!/usr/bin/env bash
# The main job: builds the stub and the tools, makes a demo package from the bundled sample ZIP,
# runs it under Wine and shows what it produced.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build.sh
python3 tests/stub_checks.py build/win32/zelvix.exe

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
# A package that extracts by itself (a.start) into the folder "extracted" beside it.
build/native/zelvix-pack -o "$demo/demo.exe" build/win32/zelvix.exe samples/demo.zip 1000 extracted
build/native/zelvix-pack --list "$demo/demo.exe"
(cd "$demo" && ../win32/wine-run.sh demo.exe)
echo "extracted by the package:"
(cd "$demo/extracted" && find . -type f | sort | while read -r f; do
  if unzip -p ../../../samples/demo.zip "${f#./}" | cmp -s - "$f"; then echo "  $f  (identical)"; else echo "  $f  (DIFFERS)"; fi
done)
build/win32/wine-run.sh --stop
