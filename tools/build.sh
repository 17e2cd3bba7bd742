#!/usr/bin/env bash
# Installs what is missing and builds both presets: native (tools, tests, fuzzers, benchmarks)
# and win32 (the stub and the Windows tests).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset win32 >/dev/null
cmake --build --preset win32
