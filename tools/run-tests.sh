#!/usr/bin/env bash
# Every test: installs what is missing, builds both presets, then runs the native tests
# (sanitizers, fuzz smoke, corpus replay) and the Windows tests under Wine (stub checks,
# Win32 unit tests, end-to-end tests of zelvix.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build.sh
status=0
ctest --preset native || status=1
ctest --preset win32 || status=1
exit $status
