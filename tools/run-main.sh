#!/usr/bin/env bash
# The main job: builds the stub and the tools, makes a demo package from the bundled sample ZIP,
# runs it under Wine and shows what it produced.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset win32 >/dev/null
cmake --build --preset win32
python3 tests/stub_checks.py build/win32/zelvix.exe

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/win32/zelvix.exe "$demo/zelvix.exe"
python3 tools/make_package.py build/win32/zelvix.exe samples/demo.zip "$demo/demo.exe" 0000
echo "demo package: $demo/demo.exe ($(stat -c %s "$demo/demo.exe") bytes)"
# "-z" writes the attached archive back out as demo_.zip.
(cd "$demo" && ../win32/wine-run.sh demo.exe -z)
cmp "$demo/demo_.zip" samples/demo.zip && echo "demo_.zip equals the appended archive"
unzip -l "$demo/demo_.zip"
build/win32/wine-run.sh --stop
